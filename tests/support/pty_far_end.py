"""The far end of a serial line for the Win32 device's tests: a pseudo-terminal whose slave path
it prints, answering every key frame (FF C0 id key 7F) it receives with one 'X'."""
import os
import pty
import select
import tty

master, slave = pty.openpty()
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
received = b""
parent = os.getppid()
while os.getppid() == parent:  # ends with the script that started it
    ready, _, _ = select.select([master], [], [], 1.0)
    if not ready:
        continue
    received += os.read(master, 256)
    while len(received) >= 5:
        start = received.find(b"\xff\xc0")
        if start < 0:
            received = received[-1:]
            break
        frame = received[start:start + 5]
        if len(frame) < 5:
            received = received[start:]
            break
        if frame[4] == 0x7F:
            os.write(master, b"X")
            received = received[start + 5:]
        else:
            received = received[start + 1:]
