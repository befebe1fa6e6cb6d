#!/usr/bin/env python3
"""A stand-in for the Twitter web service, for the tests and the demo.

Python standard library only. It listens on 127.0.0.1 and is reached the way
the program reaches the real service: through the proxy setting. MoodRelayer
under Wine uses the system's proxy settings, which Wine takes from the
`http_proxy` environment variable, so a program started with
`http_proxy=http://127.0.0.1:PORT` sends its requests here in absolute form
(`GET http://twitter.com/statuses/friends_timeline.xml HTTP/1.1`) with its host
and port unchanged. Origin-form targets are accepted too.

What it serves, behind HTTP Basic authentication (a 401 with a Basic challenge
for a request without the right credentials; WinINet answers the challenge):
  GET  /statuses/friends_timeline.xml  the timeline document (200), or 304
  POST /statuses/update.json           a small JSON reply with Content-Length
  GET  /login                          a sign-in page (200), to anyone: where a
                                       network's gateway sends every request
Anything else is 404.

Use it in-process (the e2e scenarios do, through tests/e2e/service.py):

    service = FakeService(user='alice', password='secret').start()
    service.proxy                  # 'http://127.0.0.1:PORT', the http_proxy value
    service.set_timeline([('bob', 'Tea & cake')])     # or raw bytes / str
    service.not_modified_next(2)   # next 2 timeline GETs answer 304
    service.conditional = 'always' # 304 whenever If-Modified-Since is sent
    service.clock_offset = -600    # its clock (Date, Last-Modified) 10 minutes behind
    service.fault(path=TIMELINE, status=500, body=b'oops')
    service.wait_for(2, path=TIMELINE)                # -> [Request, Request]
    service.requests()             # the log, oldest first
    service.stop()

or stand-alone for a demo:  python3 tests/peers/fake_service.py --port 8080
"""
import argparse
import base64
import email.utils
import http.server
import json
import socket
import sys
import threading
import time
import urllib.parse

TIMELINE = '/statuses/friends_timeline.xml'
UPDATE = '/statuses/update.json'
SIGN_IN = '/login'
# Each timeline request of the program sends its GET twice on one request
# object and reads only the answer to the second one.
GETS_PER_FETCH = 2

DEFAULT_STATUSES = [
    ('alice', 'Good morning, everyone'),
    ('bob', 'Tea & biscuits <3'),
    ('chiyo', 'こんにちは'),
]


def char_refs(text):
    """XML text with every character outside ASCII as a decimal reference and
    the markup characters as named entities, as the service writes it."""
    out = []
    for ch in text:
        if ch == '&':
            out.append('&amp;')
        elif ch == '<':
            out.append('&lt;')
        elif ch == '>':
            out.append('&gt;')
        elif ord(ch) > 0x7F:
            out.append(f'&#{ord(ch)};')
        else:
            out.append(ch)
    return ''.join(out)


def timeline_xml(statuses):
    """A timeline document from (screen_name, text) pairs, newest first: each
    status holds its <text> and, later, the author's <user> with <screen_name>,
    indented with line breaks. Returns bytes (ASCII)."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<statuses type="array">']
    for number, (name, text) in enumerate(statuses):
        status_id = 1000 + len(statuses) - number
        lines += [
            '<status>',
            '  <created_at>Tue Jan 01 00:00:00 +0000 2008</created_at>',
            f'  <id>{status_id}</id>',
            f'  <text>{char_refs(text)}</text>',
            '  <source>web</source>',
            '  <truncated>false</truncated>',
            '  <user>',
            f'    <id>{100 + sum(map(ord, name)) % 900}</id>',
            f'    <name>{char_refs(name)}</name>',
            f'    <screen_name>{char_refs(name)}</screen_name>',
            '    <protected>false</protected>',
            '  </user>',
            '</status>',
        ]
    lines.append('</statuses>')
    return ('\n'.join(lines) + '\n').encode('ascii')


class Request:
    """One request as it arrived, with what the service answered."""

    def __init__(self, method, target, version, headers, body, connection):
        self.method = method
        self.target = target            # as sent: absolute or origin form
        self.version = version          # 'HTTP/1.1'
        self.headers = headers          # [(name, value)] in the order sent
        self.body = body                # raw bytes
        self.connection = connection    # serial number of the TCP connection
        self.time = time.time()
        parts = urllib.parse.urlsplit(target)
        if not parts.netloc:
            parts = urllib.parse.urlsplit('//' + (self.header('Host') or '') + target)
        self.host = parts.hostname or ''    # 'twitter.com' (Wine sends 'twitter.com:80')
        self.port = parts.port or 80
        self.path = parts.path or target
        self.query = parts.query
        self.user = None                # bytes, from a Basic Authorization
        self.password = None
        self.authorized = False
        self.status = None              # status code answered, None if none
        self.answered_time = None       # when it was answered (or dropped)
        self.fault = None               # the Fault applied, if any

    def header(self, name, default=None):
        """The first header of that name (any case), or default."""
        name = name.lower()
        for key, value in self.headers:
            if key.lower() == name:
                return value
        return default

    def header_names(self):
        return [key.lower() for key, _ in self.headers]

    def __repr__(self):
        return (f'<Request #{self.connection} {self.method} {self.target} '
                f'auth={self.authorized} -> {self.status}>')


class Fault:
    """How to spoil the answers to some coming requests.

    path       only requests for this path (None: any path of the service)
    count      how many matching requests it spoils (default 1)
    skip       let this many matching requests pass first (default 0)
    before_auth  spoil also requests that would be challenged (default: only
               requests that passed authentication)
    status     status code instead of the normal one (body stays the normal
               one unless body is given)
    reason     reason phrase
    headers    {name: value} added or replaced; value None removes the header
    body       bytes (or str, UTF-8) instead of the normal body
    delay      seconds to wait before answering
    drop       'before': close the connection without answering;
               'body': send the headers and half the body, then close
    content_length  None: the true length; 'omit': no Content-Length header;
               anything else: sent as the header's value (a lie, '-5', 'x', ...)
    chunked    send the body with chunked transfer coding, no Content-Length
    close      close the connection after the answer (default True: after a
               lying length the client sees the end of the body)
    trickle    seconds between the body's bytes, sent one at a time
    """

    def __init__(self, path=None, count=1, skip=0, before_auth=False, status=None,
                 reason=None, headers=None, body=None, delay=0, drop=None,
                 content_length=None, chunked=False, close=True, trickle=0):
        if drop not in (None, 'before', 'body'):
            raise ValueError(f'drop must be None, "before" or "body", not {drop!r}')
        self.path = path
        self.count = count
        self.skip = skip
        self.before_auth = before_auth
        self.status = status
        self.reason = reason
        self.headers = dict(headers or {})
        self.body = body.encode('utf-8') if isinstance(body, str) else body
        self.delay = delay
        self.drop = drop
        self.content_length = content_length
        self.chunked = chunked
        self.close = close
        self.trickle = trickle

    def matches(self, request, authorized):
        if self.path is not None and request.path != self.path:
            return False
        return authorized or self.before_auth


class Answer:
    def __init__(self, status, headers, body):
        self.status = status
        self.reason = None
        self.headers = headers      # [(name, value)]
        self.body = body


class FakeService:
    """The service: state, scripting and the HTTP server around them."""

    def __init__(self, user='alice', password='secret', port=0, statuses=None,
                 realm='Twitter API', echo=None):
        self._lock = threading.Condition()
        self.user = user
        self.password = password
        self.realm = realm
        self._port = port
        self._echo = echo           # a text stream for one line per request
        self._log = []
        self._faults = []
        self._not_modified = 0
        self.conditional = 'date'
        self.clock_offset = 0.0     # seconds the service's clock is ahead of the PC's
        self._timeline = b''
        self._modified = 0.0
        self._posted = 0
        self._connections = 0
        self._sockets = set()
        self._stopping = threading.Event()
        self._server = None
        self._thread = None
        self._handler = None
        self._refusing_port = None
        self.set_timeline(DEFAULT_STATUSES if statuses is None else statuses,
                          modified=time.time() - 3600)

    # ---- life cycle
    def start(self):
        service = self

        class Handler(_Handler):
            pass
        Handler.service = service
        self._handler = Handler
        self._listen(self._port)
        return self

    def _listen(self, port):
        self._server = _Server(('127.0.0.1', port), self._handler)
        self._thread = threading.Thread(target=self._server.serve_forever,
                                        kwargs={'poll_interval': 0.05}, daemon=True)
        self._thread.start()

    def _close_listener_and_connections(self):
        self._server.shutdown()
        self._server.server_close()
        with self._lock:
            sockets = list(self._sockets)
        for sock in sockets:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self._thread.join(5)

    def stop(self):
        self._stopping.set()
        self._refusing_port = None
        if self._server is None:
            return
        self._close_listener_and_connections()
        self._server = None

    def refuse_connections(self):
        """Closes the listening socket and every open connection (a client
        must not get through on one it kept alive): until accept_connections(),
        a connection to the port is refused."""
        if self._server is None:
            return
        self._refusing_port = self.port
        self._close_listener_and_connections()
        self._server = None

    def accept_connections(self):
        """Listens again on the same port after refuse_connections()."""
        if self._refusing_port is None:
            return
        self._listen(self._refusing_port)
        self._refusing_port = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    @property
    def port(self):
        if self._server is None and self._refusing_port is not None:
            return self._refusing_port
        return self._server.server_address[1]

    @property
    def proxy(self):
        """The http_proxy value that routes the program's requests here."""
        return f'http://127.0.0.1:{self.port}'

    # ---- scripting
    def set_account(self, user, password):
        """The credentials the service accepts (str or bytes)."""
        with self._lock:
            self.user, self.password = user, password

    def set_timeline(self, document, modified=None):
        """document: bytes, str (sent as UTF-8) or a list of (screen_name,
        text) pairs. modified: its time in seconds since 1970 (default now);
        with conditional == 'date' it decides the 304s."""
        if isinstance(document, (list, tuple)):
            document = timeline_xml(document)
        elif isinstance(document, str):
            document = document.encode('utf-8')
        with self._lock:
            self._timeline = document
            self._modified = self.now() if modified is None else modified

    def now(self):
        """The service's clock: the PC's, clock_offset seconds ahead (behind when negative).
        Its Date headers, and the time set_timeline takes by default, come from it."""
        return time.time() + self.clock_offset

    def not_modified_next(self, count):
        """The next `count` authenticated timeline GETs answer 304 (a fetch of
        the program makes GETS_PER_FETCH of them)."""
        with self._lock:
            self._not_modified = count

    def fault(self, **how):
        """Queues a Fault (see its keywords); faults apply in the order queued."""
        fault = Fault(**how)
        with self._lock:
            self._faults.append(fault)
        return fault

    def clear_faults(self):
        with self._lock:
            self._faults.clear()
            self._not_modified = 0

    # ---- the log
    def requests(self, path=None, method=None, authorized=None):
        """Logged requests, oldest first, optionally filtered."""
        with self._lock:
            return [r for r in self._log
                    if (path is None or r.path == path)
                    and (method is None or r.method == method)
                    and (authorized is None or r.authorized == authorized)]

    def clear_log(self):
        with self._lock:
            self._log.clear()

    def wait_for(self, count, timeout=10.0, answered=True, **filters):
        """Waits until `count` requests matching the filters of requests() are
        logged (and, with answered, have had their answer or been dropped);
        returns them (more if more came), or whatever came by the timeout."""
        end = time.monotonic() + timeout
        with self._lock:
            while True:
                found = [r for r in self.requests(**filters)
                         if not answered or r.status is not None]
                left = end - time.monotonic()
                if len(found) >= count or left <= 0:
                    return found
                self._lock.wait(min(left, 0.1))

    # ---- serving (called on the handler threads)
    def _connected(self, sock):
        with self._lock:
            self._connections += 1
            self._sockets.add(sock)
            return self._connections

    def _disconnected(self, sock):
        with self._lock:
            self._sockets.discard(sock)

    def _record(self, request):
        with self._lock:
            self._log.append(request)

    def _answered(self, request, status):
        with self._lock:
            request.status = status
            request.answered_time = time.time()
            self._lock.notify_all()
        if self._echo:
            body = request.body.decode('latin-1')
            print(f'{request.method} {request.target} auth={request.authorized} '
                  f'{body!r} -> {status}', file=self._echo, flush=True)

    def _check_auth(self, request):
        value = request.header('Authorization', '')
        scheme, _, token = value.partition(' ')
        if scheme.lower() != 'basic':
            return False
        try:
            user, _, password = base64.b64decode(token.strip(), validate=True).partition(b':')
        except ValueError:
            return False
        request.user, request.password = user, password
        expect_user = self.user.encode('latin-1') if isinstance(self.user, str) else self.user
        expect_password = (self.password.encode('latin-1') if isinstance(self.password, str)
                           else self.password)
        return user == expect_user and password == expect_password

    def _take_fault(self, request, authorized):
        with self._lock:
            for fault in self._faults:
                if not fault.matches(request, authorized):
                    continue
                if fault.skip > 0:
                    fault.skip -= 1
                    return None
                fault.count -= 1
                if fault.count <= 0:
                    self._faults.remove(fault)
                return fault
        return None

    def _answer(self, request):
        authorized = self._check_auth(request)
        request.authorized = authorized
        fault = self._take_fault(request, authorized)
        request.fault = fault
        if request.path == SIGN_IN:
            return Answer(200, [('Content-Type', 'text/html')],
                          b'<html><body><form>Sign in to use this network</form></body></html>'
                          ), fault
        if not authorized:
            body = b'{"error":"Could not authenticate you."}'
            return Answer(401, [('WWW-Authenticate', f'Basic realm="{self.realm}"'),
                                ('Content-Type', 'application/json')], body), fault
        if request.path == TIMELINE and request.method == 'GET':
            return self._timeline_answer(request), fault
        if request.path == UPDATE and request.method == 'POST':
            return self._update_answer(request), fault
        if request.path in (TIMELINE, UPDATE):
            return Answer(405, [('Content-Type', 'text/plain')], b'method not allowed\n'), fault
        return Answer(404, [('Content-Type', 'text/plain')], b'not found\n'), fault

    def _timeline_answer(self, request):
        with self._lock:
            document, modified = self._timeline, self._modified
            not_modified = False
            if self._not_modified > 0:
                self._not_modified -= 1
                not_modified = True
        since = request.header('If-Modified-Since')
        if since is not None and self.conditional == 'always':
            not_modified = True
        elif since is not None and self.conditional == 'date':
            try:
                since_time = email.utils.parsedate_to_datetime(since).timestamp()
                not_modified = not_modified or int(modified) <= since_time
            except (TypeError, ValueError):
                pass
        if not_modified:
            return Answer(304, [], b'')
        return Answer(200, [('Content-Type', 'application/xml; charset=utf-8'),
                            ('Last-Modified', email.utils.formatdate(modified, usegmt=True))],
                      document)

    def _update_answer(self, request):
        fields = urllib.parse.parse_qs(request.body.decode('latin-1'), keep_blank_values=True)
        text = fields.get('status', [''])[0]
        with self._lock:
            self._posted += 1
            status_id = 5000 + self._posted
        user = self.user.decode('latin-1') if isinstance(self.user, bytes) else self.user
        reply = json.dumps({'id': status_id, 'text': text,
                            'user': {'screen_name': user}}).encode('utf-8')
        return Answer(200, [('Content-Type', 'application/json; charset=utf-8')], reply)


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True
    # Room for a burst of clients connecting at once (a flood of posts).
    request_queue_size = 256

    def handle_error(self, request, client_address):
        # A client that gave up (timed out, closed) is part of the faults
        # being tested, not an error of the service.
        if isinstance(sys.exc_info()[1], (BrokenPipeError, ConnectionResetError)):
            return
        super().handle_error(request, client_address)


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'
    server_version = 'FakeTwitter/1.0'
    timeout = 60                    # idle keep-alive connections end by themselves
    service = None                  # set per server

    def setup(self):
        super().setup()
        self.serial = self.service._connected(self.connection)

    def date_time_string(self, timestamp=None):
        return super().date_time_string(self.service.now() if timestamp is None else timestamp)

    def finish(self):
        try:
            super().finish()
        finally:
            self.service._disconnected(self.connection)

    def log_message(self, format, *args):
        pass

    def version_string(self):
        return self.server_version

    def _read_body(self):
        if self.headers.get('Transfer-Encoding', '').lower() == 'chunked':
            body = b''
            while True:
                size = int(self.rfile.readline().split(b';')[0].strip() or b'0', 16)
                if size == 0:
                    while self.rfile.readline() not in (b'\r\n', b'\n', b''):
                        pass
                    return body
                body += self.rfile.read(size)
                self.rfile.readline()
        try:
            length = int(self.headers.get('Content-Length', '0'))
        except ValueError:
            length = 0
        return self.rfile.read(length) if length > 0 else b''

    def _handle(self):
        service = self.service
        body = self._read_body()
        request = Request(self.command, self.path, self.request_version,
                          list(self.headers.items()), body, self.serial)
        service._record(request)
        answer, fault = service._answer(request)
        status = self._send(answer, fault)
        service._answered(request, status)

    do_GET = do_POST = do_PUT = do_DELETE = do_HEAD = _handle

    def _send(self, answer, fault):
        """Writes the answer, spoilt by fault; returns the status sent or 0
        for a connection dropped before any answer."""
        status, body = answer.status, answer.body
        headers = list(answer.headers)
        reason = None
        if fault:
            if fault.delay and self.service._stopping.wait(fault.delay):
                self.close_connection = True
                return 0
            if fault.drop == 'before':
                self.close_connection = True
                return 0
            if fault.status is not None:
                status = fault.status
            if fault.body is not None:
                body = fault.body
            reason = fault.reason
            for name, value in fault.headers.items():
                headers = [(k, v) for k, v in headers if k.lower() != name.lower()]
                if value is not None:
                    headers.append((name, str(value)))
        chunked = bool(fault and fault.chunked)
        length = fault.content_length if fault else None
        if chunked:
            headers.append(('Transfer-Encoding', 'chunked'))
        elif length is None:
            if status != 304:
                headers.append(('Content-Length', str(len(body))))
        elif length != 'omit':
            headers.append(('Content-Length', str(length)))
        close = bool(fault and (fault.close or fault.drop) or
                     (not chunked and length == 'omit'))
        if close:
            headers.append(('Connection', 'close'))
            self.close_connection = True
        if status == 304 or self.command == 'HEAD':
            body = b''
        self.send_response(status, reason)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if fault and fault.drop == 'body':
            self.wfile.write(body[:len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
        elif fault and fault.trickle:
            for byte in range(len(body)):
                if self.service._stopping.wait(fault.trickle if byte else 0):
                    break
                self.wfile.write(body[byte:byte + 1])
                self.wfile.flush()
        elif chunked:
            for start in range(0, len(body), 4096):
                piece = body[start:start + 4096]
                self.wfile.write(b'%X\r\n%s\r\n' % (len(piece), piece))
            self.wfile.write(b'0\r\n\r\n')
        else:
            self.wfile.write(body)
        self.wfile.flush()
        return status


def main(argv=None):
    parser = argparse.ArgumentParser(description='A local stand-in for the Twitter service.')
    parser.add_argument('--port', type=int, default=0, help='port on 127.0.0.1 (default: free)')
    parser.add_argument('--user', default='alice')
    parser.add_argument('--password', default='secret')
    parser.add_argument('--timeline', help='file with the timeline document to serve')
    args = parser.parse_args(argv)
    service = FakeService(args.user, args.password, args.port, echo=sys.stdout)
    if args.timeline:
        with open(args.timeline, 'rb') as f:
            service.set_timeline(f.read())
    service.start()
    print(f'fake service on {service.proxy} (account {args.user}); '
          f'run the program with http_proxy={service.proxy}', flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        service.stop()


if __name__ == '__main__':
    main()
