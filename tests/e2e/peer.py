#!/usr/bin/env python3
"""A controller stand-in on loopback: accepts one connection, records every byte it receives,
and answers each received chunk with 02 41 42 03 0D 0A.

Usage: peer.py PORT_FILE RECEIVED_FILE  (writes the port it listens on to PORT_FILE)
"""
import os
import socket
import sys

REPLY = bytes([0x02, 0x41, 0x42, 0x03, 0x0D, 0x0A])


def main():
    port_file, received_file = sys.argv[1], sys.argv[2]
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.getsockname()[1]))
    # Renamed into place, so a reader never sees half a number.
    os.rename(port_file + ".tmp", port_file)
    conn, _ = server.accept()
    with conn, open(received_file, "wb") as received:
        while True:
            chunk = conn.recv(65536)
            if not chunk:
                break
            received.write(chunk)
            received.flush()
            conn.sendall(REPLY)


if __name__ == "__main__":
    main()
