"""The two web requests under Wine against the local fake service.

webprobe.exe runs the program's own postMoodNow and fetchFriendsTimeline
with the account set in memory; its requests reach the service through
http_proxy as the program's do.
"""
import email.utils
import os
import subprocess
import time
import unittest

from harness import BUILD, NO_SERVICE_PROXY, wine_command
from service import SIGN_IN, TIMELINE, UPDATE, start_service, timeline_xml

WEBPROBE = os.path.join(BUILD, 'webprobe.exe')
NAME, PASSWORD = 'alice', 'p@ss w:rd'
IMS_2008 = 'Tue, 01 Jan 2008 00:00:00 GMT'


def probe(*args, proxy, locale=None, timeout=90):
    env = dict(os.environ, http_proxy=proxy)
    if locale:
        env['LC_ALL'] = locale
    done = subprocess.run(wine_command(WEBPROBE, *args), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env,
                          timeout=timeout)
    out = {'exit': done.returncode}
    for line in done.stdout.decode('latin-1').splitlines():
        key, _, value = line.partition(' ')
        out[key] = value
    if 'text' in out:
        out['text'] = bytes.fromhex(out['text'])
    if 'next' in out:
        out['next'] = bytes.fromhex(out['next']).decode('latin-1')
    for key in ('status', 'ms', 'length'):
        if key in out:
            out[key] = int(out[key])
    return out


def expected_text(document, limit=65535):
    """What the popup gets: the document as sent, cut to the limit; its
    references are decoded later, per field."""
    return document[:limit]


class WebRequestCase(unittest.TestCase):
    def setUp(self):
        self.svc = start_service(self, user=NAME, password=PASSWORD)

    def post(self, text, count=1):
        data = text.encode('utf-8') if isinstance(text, str) else text
        result = probe('post', NAME, PASSWORD, data.hex(), count, proxy=self.svc.proxy)
        self.assertEqual(result['exit'], 0)
        return self.svc.wait_for(count, path=UPDATE, authorized=True)

    def fetch(self, last_poll_time=0, locale=None, **kwargs):
        result = probe('timeline', NAME, PASSWORD, last_poll_time, proxy=self.svc.proxy,
                       locale=locale, **kwargs)
        self.assertEqual(result['exit'], 0, 'the destination must be terminated')
        self.assertIn('status', result)
        return result


class StatusPost(WebRequestCase):
    def test_text_arrives_as_form_body_with_account_and_agent(self):
        posts = self.post('a b')
        self.assertEqual(len(posts), 1)
        post = posts[0]
        self.assertEqual((post.method, post.host, post.port, post.path),
                         ('POST', 'twitter.com', 80, UPDATE))
        self.assertEqual(post.body, b'status=a+b ')
        self.assertEqual(post.header('Content-Type'), 'application/x-www-form-urlencoded')
        self.assertEqual(post.header('User-Agent'), 'MoodRelayer')
        self.assertEqual(post.header('Accept'), '*/*')
        self.assertEqual((post.user, post.password), (NAME.encode(), PASSWORD.encode()))
        self.assertEqual(post.status, 200)
        self.assertIsNone(post.header('Cookie'))

    def test_same_text_twice_gives_two_identical_posts(self):
        posts = self.post('caf\u00e9 & more', count=2)
        self.assertEqual(len(posts), 2)
        first, second = posts
        self.assertEqual(first.body, b'status=caf%C3%A9+%26+more ')
        self.assertEqual((first.method, first.target, first.headers, first.body),
                         (second.method, second.target, second.headers, second.body))

    def test_long_text_is_cut_to_fit_between_characters(self):
        post = self.post('\u3042' * 400)[0]
        self.assertEqual(len(post.body), 7 + 112 * 9 + 1)
        self.assertTrue(post.body.endswith(b'%E3%81%82 '))

    def test_wrong_password_is_refused_and_the_thread_ends(self):
        self.svc.set_account(NAME, 'other')
        result = probe('post', NAME, PASSWORD, b'lost'.hex(), proxy=self.svc.proxy)
        self.assertEqual(result['exit'], 0)  # the posting thread has ended
        refused = self.svc.requests(path=UPDATE)
        self.assertTrue(refused)
        self.assertTrue(all(r.status == 401 for r in refused))

    def test_spoilt_replies_end_the_thread(self):
        faults = [{'content_length': 'omit'}, {'content_length': '-5'},
                  {'content_length': '99999999999'}, {'body': b'x' * (200 * 1024)},
                  {'drop': 'body'}, {'status': 500, 'body': b'oops'}, {'chunked': True}]
        for fault in faults:
            with self.subTest(**fault):
                self.svc.clear_log()
                self.svc.fault(path=UPDATE, count=5, **fault)
                posts = self.post('x')  # the probe waits for the posting thread to end
                self.assertEqual(posts[0].body, b'status=x ')
                self.svc.clear_faults()


class TimelineRequest(WebRequestCase):
    def timeline_gets(self):
        return self.svc.requests(path=TIMELINE, method='GET', authorized=True)

    def test_unconditional_fetch_sends_two_gets_and_keeps_the_document_as_sent(self):
        result = self.fetch(0)
        self.assertEqual(result['status'], 200)
        gets = self.timeline_gets()
        self.assertEqual(len(gets), 2)
        for get in gets:
            self.assertIsNone(get.header('If-Modified-Since'))
            self.assertEqual((get.host, get.header('User-Agent')), ('twitter.com', 'MoodRelayer'))
            self.assertEqual((get.user, get.password), (NAME.encode(), PASSWORD.encode()))
        document = timeline_xml([('alice', 'Good morning'), ('bob', 'Tea & caf\u00e9')])
        self.svc.set_timeline(document)
        result = self.fetch(0)
        self.assertEqual(result['text'], expected_text(document))
        self.assertIn(b'<text>Tea &amp; caf&#233;</text>', result['text'])

    def test_conditional_fetch_sends_the_date_line_on_both_gets(self):
        self.svc.conditional = 'never'
        self.assertEqual(self.fetch(1199145600)['status'], 200)
        gets = self.timeline_gets()
        self.assertEqual(len(gets), 2)
        for get in gets:
            self.assertEqual(get.header('If-Modified-Since'), IMS_2008)
            self.assertEqual(get.header_names().count('if-modified-since'), 1)

    def test_the_services_own_date_goes_back_as_the_condition(self):
        # Its clock 10 minutes behind the PC's: a change made after the last
        # fetch must still be seen.
        self.svc.clock_offset = -600
        modified = int(self.svc.now()) - 5
        self.svc.set_timeline([('ann', 'before')], modified=modified)
        first = self.fetch(0)
        self.assertEqual(first['status'], 200)
        # its Last-Modified, as the service wrote it
        self.assertEqual(first['next'], email.utils.formatdate(modified, usegmt=True))
        self.assertEqual(self.fetch(first['next'])['status'], 304)
        self.assertEqual(self.timeline_gets()[-1].header('If-Modified-Since'), first['next'])
        time.sleep(1.1)  # the service's dates have a grain of a second
        self.svc.set_timeline([('ann', 'after')])
        changed = self.fetch(first['next'])
        self.assertEqual(changed['status'], 200, 'a change after the last fetch was missed')
        self.assertIn(b'after', changed['text'])

    def test_not_modified_returns_304_and_the_empty_text(self):
        self.svc.conditional = 'always'
        result = self.fetch(1199145600)
        self.assertEqual((result['status'], result['text']), (304, b''))
        self.svc.not_modified_next(2)
        result = self.fetch(0)
        self.assertEqual((result['status'], result['text']), (304, b''))

    def test_references_arrive_as_sent_and_decode_to_utf8_whatever_the_code_page(self):
        # Neither code page 1252 nor 932 has all of these; none may become "/"
        # or a look-alike ("e" for U+00E9 by best fit under 932). A reference
        # to '<' stays text: it is decoded only in its field, after the scan.
        field = b'&#12354;&#233;&#1046;&#8364;&#128512;&#65;&#55296;&#60;/text&#62;&#38;lt;'
        self.svc.set_timeline(b'<text>' + field + b'</text>')
        want = '\u3042\u00e9\u0416\u20ac\U0001F600A</text>&lt;'.encode()
        for locale in (None, 'ja_JP.UTF-8'):
            with self.subTest(locale=locale):
                self.assertEqual(self.fetch(0, locale=locale)['text'],
                                 b'<text>' + field + b'</text>')
                decoded = probe('decode', field.hex(), proxy=self.svc.proxy, locale=locale)
                self.assertEqual((decoded['exit'], decoded['text']), (0, want))

    def test_no_service_gives_0_at_once(self):
        result = probe('timeline', NAME, PASSWORD, 0, proxy=NO_SERVICE_PROXY)
        self.assertEqual((result['status'], result['text']), (0, b''))
        # a refused connection must not wait for the 15-second timeouts
        self.assertLess(result['ms'], 10000)


class TimelineFaults(WebRequestCase):
    """Every spoilt answer leaves a sound result: a status, a terminated text
    within the 65536 bytes, and no crash."""

    def setUp(self):
        super().setUp()
        self.document = timeline_xml([('alice', 'first \u3042'), ('bob', 'second')])
        self.svc.set_timeline(self.document)
        self.expected = expected_text(self.document)

    def spoilt(self, count=2, **fault):
        self.svc.clear_faults()
        self.svc.fault(path=TIMELINE, count=count, **fault)
        return self.fetch(0)

    def test_content_length_missing_wrong_or_lying(self):
        for length in ('omit', '-5', 'abc', '99999999999', len(self.document) * 2):
            with self.subTest(content_length=length):
                result = self.spoilt(content_length=length)
                self.assertEqual((result['status'], result['text']), (200, self.expected))
        with self.subTest(content_length='short'):
            result = self.spoilt(content_length=10)
            self.assertEqual(result['status'], 200)
            # Now and then the second GET never leaves Wine: it takes what is
            # left of the first answer on the connection (the rest of the
            # body, its first line read as a status line) for a headerless
            # answer to it. Either way the text is a piece of the document.
            self.assertIn(result['text'], self.expected)
        with self.subTest(chunked=True):
            result = self.spoilt(chunked=True)
            self.assertEqual((result['status'], result['text']), (200, self.expected))

    def test_large_bodies_are_cut_to_the_destination(self):
        statuses = [(f'user{i}', f'status number {i} \u00e9' + 'x' * 40) for i in range(2000)]
        big = timeline_xml(statuses)
        self.assertGreater(len(big), 300 * 1024)
        for name, fault in (('200 KB honest', {'body': big[:200 * 1024]}),
                            ('over the cap', {'body': big}),
                            ('200 KB, no length', {'body': big[:200 * 1024],
                                                   'content_length': 'omit'})):
            with self.subTest(name):
                result = self.spoilt(**fault)
                self.assertEqual(result['status'], 200)
                self.assertEqual(result['text'], expected_text(big))
                self.assertEqual(result['length'], 65535)

    def test_server_error_with_a_body_is_kept_all_the_same(self):
        result = self.spoilt(status=500, body=b'<error>caf&#233; closed</error>')
        self.assertEqual((result['status'], result['text']),
                         (500, b'<error>caf&#233; closed</error>'))

    def test_redirect_to_a_sign_in_page_is_not_followed(self):
        result = self.spoilt(status=302, headers={'Location': 'http://twitter.com' + SIGN_IN})
        self.assertEqual(result['status'], 302)
        self.assertEqual(self.svc.requests(path=SIGN_IN), [])

    def test_dropped_connections(self):
        # The client retries a dropped request on a fresh connection, so one
        # drop may still end well; either way status and text must agree.
        result = self.spoilt(drop='before', count=1)
        self.assertIn((result['status'], result['text']), [(200, self.expected), (0, b'')])
        result = self.spoilt(drop='before', count=20)
        self.assertNotEqual(result['status'], 200)
        self.assertEqual(result['text'], b'')
        result = self.spoilt(drop='body', count=20)
        self.assertEqual(result['status'], 200)
        self.assertTrue(self.expected.startswith(result['text']))

    def test_silent_service_times_out(self):
        # The answer would come after 20 s; the receive timeout of 15 s ends it first.
        result = self.spoilt(delay=20)
        self.assertEqual((result['status'], result['text']), (0, b''))


if __name__ == '__main__':
    unittest.main()
