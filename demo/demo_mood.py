"""The mood relay part of the demo: the local web service and the chat-client
simulator as the program's two peers, and one mood change relayed end to end."""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))
from service import UPDATE, start_service  # noqa: E402
from skype_sim import SkypeSim  # noqa: E402

PROTOCOL_5 = b'PROTOCOL 5\0'


def start_peers(user, password, statuses=None):
    """The service (for the program's env), serving the given timeline, and a
    simulated client that attaches as soon as the program asks for one."""
    service = start_service(user=user, password=password, statuses=statuses)
    sim = SkypeSim(status=0).start()
    print(f'demo: local service on {service.proxy}; chat-client simulator is up')
    return service, sim


def relay_mood(service, sim, text):
    """Waits for the program to attach, changes the mood, prints what the
    service received. True when the post arrived."""
    attached = sim.wait_for(
        lambda: [e for e in sim.commands_received() if e.data == PROTOCOL_5], 20)
    if not attached:
        print('demo: the program never attached to the simulated client')
        return False
    print('demo: the program attached to the simulated client and sent "PROTOCOL 5"')
    sim.mood(text)
    print(f'demo: mood text changed to {text!r}')
    posts = service.wait_for(1, timeout=20, path=UPDATE, authorized=True)
    if not posts:
        print('demo: no status arrived at the service')
        return False
    post = posts[0]
    print(f'demo: the service received {post.method} {post.target} as {post.user.decode()}')
    print(f'demo:   body {post.body!r}')
    return True


def stop_peers(service, sim):
    sim.close()
    service.stop()
