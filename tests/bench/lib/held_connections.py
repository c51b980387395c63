"""Connections that hold a server's slots, for the service's benchmarks (loopback only).

  held_connections.py slow PORT COUNT SECONDS
      COUNT connections that each send part of a request line, then one byte a second; one
      that the server closes is opened again. Stops by itself after SECONDS.
  held_connections.py bodies PORT COUNT BYTES PID
      COUNT uploads whose headers announce BYTES of body, each sent but its last byte, all held
      at once; prints how many the server refused (it answered before the body was whole) and
      how many MB the resident memory of process PID grew meanwhile.
"""
import socket
import sys
import time


def connect(port):
    s = socket.create_connection(("127.0.0.1", port))
    s.setblocking(False)
    return s


def slow(port, count, seconds):
    end = time.time() + seconds
    held = [None] * count
    while time.time() < end:
        for i in range(count):
            try:
                if held[i] is None:
                    held[i] = connect(port)
                    held[i].send(b"GET /index.php HT")
                else:
                    held[i].send(b"T")  # never reaches the end of the line
            except OSError:
                if held[i] is not None:
                    held[i].close()
                held[i] = None
        time.sleep(1)
    for s in held:
        if s is not None:
            s.close()


def resident_kb(pid):
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def bodies(port, count, size, pid):
    before = resident_kb(pid)
    head = ("POST /ringtones/upload2.php HTTP/1.1\r\nHost: x\r\n"
            "Content-Type: multipart/form-data; boundary=x\r\nContent-Length: %d\r\n\r\n" % size).encode()
    chunk = b"x" * 65536
    held = []
    refused = 0
    for _ in range(count):
        s = socket.create_connection(("127.0.0.1", port))
        s.settimeout(10)
        try:
            s.sendall(head)
            left = size - 1
            while left > 0:
                left -= s.send(chunk[:min(left, len(chunk))])
        except OSError:
            refused += 1
            s.close()
            continue
        held.append(s)
    time.sleep(1)
    grown = (resident_kb(pid) - before) / 1024
    for s in held:
        s.setblocking(False)
        try:
            if s.recv(64).startswith(b"HTTP/1.1 503"):
                refused += 1
        except OSError:
            pass
        s.close()
    print("%d %.0f" % (refused, grown))


if __name__ == "__main__":
    mode, port = sys.argv[1], int(sys.argv[2])
    if mode == "slow":
        slow(port, int(sys.argv[3]), float(sys.argv[4]))
    else:
        bodies(port, int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]))
