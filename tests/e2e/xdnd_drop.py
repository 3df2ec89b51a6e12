#!/usr/bin/python3
# Drops files onto an X window as a Linux file manager does (XDND, text/uri-list):
# xdnd_drop.py WINDOW ROOT_X ROOT_Y PATH... Exits 0 once the target has finished the drop,
# non-zero when it refuses it or does not answer in time.
import signal, sys, urllib.parse
from Xlib import X, display
from Xlib.protocol import event

window, x, y, paths = int(sys.argv[1], 0), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
signal.signal(signal.SIGALRM, lambda *_: sys.exit('the target did not finish the drop in time'))
signal.alarm(8)  # within the driver's own deadline
d = display.Display()
atom = d.intern_atom
target = d.create_resource_object('window', window)
source = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
source.set_selection_owner(atom('XdndSelection'), X.CurrentTime)
data = ''.join('file://' + urllib.parse.quote(path) + '\r\n' for path in paths).encode()  # one URI a line

def send(name, *longs):
    longs = [source.id, *longs] + [0] * (4 - len(longs))
    target.send_event(event.ClientMessage(window=target, client_type=atom(name), data=(32, longs)))
    d.flush()

send('XdndEnter', 5 << 24, atom('text/uri-list'))  # version 5, one type
send('XdndPosition', 0, (x << 16) | y, X.CurrentTime, atom('XdndActionCopy'))
dropped = False
while True:
    e = d.next_event()
    if e.type == X.SelectionRequest:  # the data, which Wine asks for at Enter
        e.requestor.change_property(e.property, e.target, 8, data)
        e.requestor.send_event(event.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection,
                                                     target=e.target, property=e.property))
        d.flush()
    elif e.type == X.ClientMessage and e.client_type == atom('XdndStatus'):
        if not e.data[1][1] & 1:
            sys.exit('the target refused the drop')
        if not dropped:
            send('XdndDrop', 0, X.CurrentTime)
            dropped = True
    elif e.type == X.ClientMessage and e.client_type == atom('XdndFinished'):
        sys.exit(0)
