"""The fake web service for the scenarios (tests/peers/fake_service.py), in-process.

    from service import start_service, TIMELINE, UPDATE

    class MyScenario(harness.ScenarioCase):
        def test_something(self):
            svc = start_service(self, user='alice', password='secret')
            program = self.program({'username': 'alice', 'password': 'secret'},
                                   env=svc.env).start()
            posts = svc.wait_for(1, path=UPDATE, authorized=True, timeout=10)
            self.assertEqual(posts[0].body, b'status=a+b ')

start_service(test_case=None, **options) starts a FakeService on a free port of
127.0.0.1 and, given a test case, stops it in the case's clean-up. The options
are FakeService's: user, password (the account it accepts; default alice /
secret), statuses (the initial timeline as (screen_name, text) pairs), echo (a
stream for one line per request).

The service object (see tests/peers/fake_service.py for the details):
  svc.proxy / svc.env      'http://127.0.0.1:PORT' / {'http_proxy': svc.proxy},
                           for harness.Program(env=...) or a wine() call
  svc.requests(path=, method=, authorized=)   the log, oldest first: Request
                           objects with method, target (as sent; from Wine:
                           'http://twitter.com:80/statuses/...'), host
                           ('twitter.com'), port, path, headers [(name, value)],
                           header(name),
                           body (raw bytes), user, password (bytes), authorized,
                           status (answered; 0 = dropped), connection (serial),
                           time and answered_time (time.time() of arrival and answer)
  svc.wait_for(count, timeout=10, **filters)  waits for that many answered ones
  svc.clear_log()
  svc.set_account(user, password)
  svc.set_timeline(doc, modified=None)  doc: bytes, str or [(name, text)];
                           modified (epoch seconds, default now) decides 304s
  svc.conditional = 'date' (default: 304 when If-Modified-Since is not older
                           than the document) | 'always' (304 whenever the
                           header is sent) | 'never'
  svc.not_modified_next(n) the next n authenticated timeline GETs answer 304;
                           one fetch of the program makes GETS_PER_FETCH (2)
  svc.fault(path=, count=1, skip=0, status=, headers=, body=, delay=,
            drop='before'|'body', content_length='omit'|value, chunked=True, ...)
                           spoils the answers to coming requests (Fault)
  svc.clear_faults()
  svc.refuse_connections() / svc.accept_connections()
                           close the port (and every open connection), so that
                           connections are refused, and listen on it again
  svc.stop()
Each fetch of the program shows in the log as an unauthenticated GET answered
401 (a fresh connection is challenged once), then the two authenticated GETs.
"""
import os
import sys

from harness import SOURCE

sys.path.insert(0, os.path.join(SOURCE, 'tests', 'peers'))

from fake_service import (DEFAULT_STATUSES, GETS_PER_FETCH, SIGN_IN, TIMELINE,  # noqa: E402,F401
                          UPDATE, FakeService, Fault, Request, char_refs, timeline_xml)


class _Service(FakeService):
    @property
    def env(self):
        return {'http_proxy': self.proxy}


def start_service(test_case=None, **options):
    service = _Service(**options).start()
    if test_case is not None:
        test_case.addCleanup(service.stop)
    return service
