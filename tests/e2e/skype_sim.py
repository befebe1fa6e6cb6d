"""The chat-client simulator (build/windows/skype_sim.exe) as a scenario fixture.

The simulator plays the Skype client: a hidden API window that answers
discovery with an attach reply, takes the program's commands and sends it
texts. The scenario listens on a loopback port, the simulator connects to it,
and each command is one line answered by data lines and a last "ok"/"error"
line (see tests/peers/skype_sim.cpp). When the scenario closes the connection the
simulator exits, so a failed scenario leaves no client behind.

    sim = SkypeSim(status=0).start()
    sim.wait_for(lambda: sim.commands_received())
    sim.mood('Hello')
"""
import os
import re
import socket
import subprocess
import time

from harness import PEERS, wait_until, wine_command

SKYPE_SIM = os.path.join(PEERS, 'skype_sim.exe')
NO_ANSWER = None
MOOD_PREFIX = b'PROFILE MOOD_TEXT '
VANISHED = 3  # the simulator's exit code after vanish_during_attach


class SimError(Exception):
    pass


class Entry:
    """One log line: kind (discover, attach, copydata, sent), time t in ms, and
    its fields; 'data' is turned into bytes."""

    def __init__(self, line):
        words = line.split(' ')
        self.line = line
        self.t = int(words[0][2:])
        self.kind = words[1]
        self.fields = dict(w.split('=', 1) for w in words[2:] if '=' in w)
        if 'data' in self.fields:
            self.data = bytes.fromhex(self.fields['data'])

    def __getitem__(self, name):
        return self.fields[name]

    def __repr__(self):
        return self.line


class SkypeSim:
    def __init__(self, status=0, accept=True, log_file=None):
        self.status = status
        self.accept = accept
        self.log_file = log_file
        self.process = None
        self.connection = None
        self.buffer = b''

    def start(self, timeout=30):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(('127.0.0.1', 0))
        listener.listen(1)
        listener.settimeout(timeout)
        args = wine_command(SKYPE_SIM, listener.getsockname()[1],
                            '--status', 'none' if self.status is NO_ANSWER else self.status)
        if not self.accept:
            args.append('--refuse')
        if self.log_file:
            args += ['--log', 'Z:' + os.path.abspath(self.log_file)]
        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        try:
            self.connection, _ = listener.accept()
        except socket.timeout:
            self.process.kill()
            raise SimError('the simulator did not connect')
        finally:
            listener.close()
        self.connection.settimeout(timeout)
        windows = self.command('windows')[-1]
        self.api_window = int(re.search(r'api=(\S+)', windows).group(1), 16)
        self.second_window = int(re.search(r'second=(\S+)', windows).group(1), 16)
        return self

    def command(self, line):
        """Sends one command line (str or bytes); returns the answer's lines."""
        if isinstance(line, str):
            line = line.encode('latin-1')
        self.connection.sendall(line + b'\n')
        lines = []
        while True:
            while b'\n' not in self.buffer:
                chunk = self.connection.recv(65536)
                if not chunk:
                    raise SimError('the simulator closed the connection')
                self.buffer += chunk
            raw, self.buffer = self.buffer.split(b'\n', 1)
            text = raw.decode('latin-1')
            lines.append(text)
            if text.startswith('ok'):
                return lines
            if text.startswith('error'):
                raise SimError(f'{line!r}: {text}')

    # Settings of the client.
    def set_status(self, status):
        self.command('status ' + ('none' if status is NO_ANSWER else str(status)))

    def set_accept(self, accept):
        self.command('accept ' + ('1' if accept else '0'))

    def vanish_during_attach(self, timeout=10):
        """A client that closes in the middle of the attach exchange: posts a
        successful attach reply and ends, unanswered, inside the program's
        "PROTOCOL 5" that follows. Returns the simulator's exit code (VANISHED
        when it ended so), or None when it did not end."""
        self.command('vanish')
        self.connection.sendall(b'attach 0 api\n')  # its answer may never come
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def hang_during_attach(self):
        """A client that stops answering in the middle of the attach exchange:
        posts a successful attach reply and hangs, for good, inside the
        program's "PROTOCOL 5" that follows. Its commands go unanswered from
        then on; close() kills it."""
        self.command('hang')
        self.connection.sendall(b'attach 0 api\n')  # its answer never comes
        self.connection.close()
        self.connection = None

    # What the client does on its own.
    def attach(self, status=0, sender='api'):
        """Posts an attach reply to the last window that asked for a client."""
        self.command(f'attach {status} {sender}')

    def target(self, window):
        """Sends from now on to that window (a handle number) instead of the
        last one that asked for a client: one client, several programs."""
        self.command(f'target {window:#x}')

    def send(self, data, cbdata=None, sender='api'):
        """Sends bytes to the program's relay window; cbdata defaults to their
        length. sender: 'api', 'second' or a window handle number. Returns the
        program's result."""
        cbdata = len(data) if cbdata is None else cbdata
        answer = self.command(f'send {sender} {cbdata} {data.hex() or "00"}')[-1]
        return int(answer.split('result=')[1])

    def mood(self, text, sender='api'):
        """A mood-text notification as the client sends it: prefix, text, zero."""
        if isinstance(text, str):
            text = text.encode('latin-1')
        return self.send(MOOD_PREFIX + text + b'\0', sender=sender)

    # The log.
    def log(self):
        return [Entry(line) for line in self.command('log')[:-1]]

    def clear_log(self):
        self.command('clear')

    def discoveries(self):
        return [e for e in self.log() if e.kind == 'discover']

    def commands_received(self):
        """The texts that reached our windows, as log entries."""
        return [e for e in self.log() if e.kind == 'copydata']

    def attaches_sent(self, status=None):
        return [e for e in self.log()
                if e.kind == 'attach' and (status is None or int(e['status']) == status)]

    def wait_for(self, predicate, timeout=10.0):
        return wait_until(predicate, timeout, interval=0.1)

    def running(self):
        return self.process is not None and self.process.poll() is None

    def close(self):
        """Ends the simulator; its windows go with it."""
        if self.connection:
            try:
                self.command('quit')
            except (OSError, SimError):
                pass
            self.connection.close()
            self.connection = None
        if self.process:
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)


def start_sim(case, **options):
    """Starts a simulator that the scenario closes at its end, also on failure."""
    sim = SkypeSim(**options).start()
    case.addCleanup(sim.close)
    return sim
