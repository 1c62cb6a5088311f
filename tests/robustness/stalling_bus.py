#!/usr/bin/env python3
"""A stand-in session bus that answers the first line of every client's
handshake and then says nothing more: the connection stays open, so a client
that waits for the rest of the handshake waits for ever.
    stalling_bus.py SOCKET_PATH"""
import socket
import sys

listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
listener.bind(sys.argv[1])
listener.listen(64)
clients = []
while True:
    client, _ = listener.accept()
    clients.append(client)
    line = b""
    while b"\r\n" not in line:
        chunk = client.recv(4096)
        if not chunk:
            break
        line += chunk
    if line:
        client.sendall(b"OK 0123456789abcdef0123456789abcdef\r\n")
