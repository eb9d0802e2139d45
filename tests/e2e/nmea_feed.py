"""Feeds the sentences of a receiver log to the program over the network, looping.

  nmea_feed.py tcp PORT LOG [SECONDS]   serve every client that connects to 127.0.0.1:PORT
  nmea_feed.py udp PORT LOG [SECONDS]   send datagrams to 127.0.0.1:PORT

Prints "READY" once it listens or sends, and "CLIENT" for each client. Stops by itself after SECONDS (default 60)."""
import socket
import sys
import threading
import time

kind, port, log = sys.argv[1], int(sys.argv[2]), sys.argv[3]
seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 60.0
lines = [l.rstrip(b"\r\n") + b"\r\n" for l in open(log, "rb") if l.startswith(b"$")]
end = time.time() + seconds


def sentences():
    while time.time() < end:
        for line in lines:
            yield line
            time.sleep(0.02)


if kind == "udp":
    out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    print("READY", flush=True)
    for line in sentences():
        out.sendto(line, ("127.0.0.1", port))
    sys.exit(0)

server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", port))
server.listen(4)
server.settimeout(0.2)
print("READY", flush=True)


def serve(client):
    try:
        for line in sentences():
            client.sendall(line)
    except OSError:
        pass
    client.close()


while time.time() < end:
    try:
        client, _ = server.accept()
    except socket.timeout:
        continue
    print("CLIENT", flush=True)
    threading.Thread(target=serve, args=(client,), daemon=True).start()
