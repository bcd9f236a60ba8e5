"""The far end of a serial line for the Win32 device's tests: a pseudo-terminal whose slave path
it prints, playing the recorder with ID 1: it answers every key frame (FF C0 01 key 7F) it receives
with one 'X', and frames for other recorders with nothing. Every byte received is appended to the
file named by its first argument, where one is given. A second argument names a file that says the
answer instead, read at each frame: its first byte ('X' or 'Y'), or silence when it is empty."""
import os
import pty
import select
import sys
import tty

RECORDER_ID = 1
log = open(sys.argv[1], "ab", buffering=0) if len(sys.argv) > 1 else None
answer_file = sys.argv[2] if len(sys.argv) > 2 else None


def answer():
    if not answer_file:
        return b"X"
    with open(answer_file, "rb") as f:
        return f.read(1)


master, slave = pty.openpty()
tty.setraw(slave)
print(os.ttyname(slave), flush=True)
received = b""
parent = os.getppid()
while os.getppid() == parent:  # ends with the script that started it
    ready, _, _ = select.select([master], [], [], 1.0)
    if not ready:
        continue
    chunk = os.read(master, 256)
    if log:
        log.write(chunk)
    received += chunk
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
            if frame[2] == RECORDER_ID and (reply := answer()):
                os.write(master, reply)
            received = received[start + 5:]
        else:
            received = received[start + 1:]
