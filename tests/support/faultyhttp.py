#!/usr/bin/env python3
"""An HTTP server for fault tests: answers HEAD properly and GET with one fault.

Usage: faultyhttp.py MODE. Prints its port on 127.0.0.1, then serves until killed. Every GET
is answered with the same body (BODY_SIZE bytes, see body()), spoilt as MODE says:
  close-after-headers   headers with Content-Length, then the connection is closed
  reset-mid-body        half the body, then the connection is reset (RST)
  chunked-cut           chunked encoding, half the body, closed without the last chunk
  stall-before-headers  reads the request and answers nothing, keeping the connection
  stall-mid-body        half the body, then silence, keeping the connection
  slow                  the whole body in SLOW_PIECES pieces, SLOW_GAP_S apart
"""
import socket
import struct
import sys
import threading
import time

BODY_SIZE = 64 * 1024
SLOW_PIECES = 16
SLOW_GAP_S = 0.15


def body():
    return bytes((i * 7 + i // 251) & 0xFF for i in range(BODY_SIZE))


def headers(extra):
    return ('HTTP/1.1 200 OK\r\nConnection: close\r\n%s\r\n' % extra).encode()


def serve(conn, mode, held):
    request = b''
    while b'\r\n\r\n' not in request:
        chunk = conn.recv(65536)
        if not chunk:
            conn.close()
            return
        request += chunk
    data = body()
    length = 'Content-Length: %d\r\n' % len(data)
    if request.startswith(b'HEAD'):
        conn.sendall(headers(length))
    elif mode == 'close-after-headers':
        conn.sendall(headers(length))
    elif mode == 'reset-mid-body':
        conn.sendall(headers(length) + data[:len(data) // 2])
        time.sleep(0.2)
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
    elif mode == 'chunked-cut':
        half = data[:len(data) // 2]
        conn.sendall(headers('Transfer-Encoding: chunked\r\n')
                     + b'%x\r\n' % len(half) + half + b'\r\n')
    elif mode == 'stall-before-headers':
        held.append(conn)
        return
    elif mode == 'stall-mid-body':
        conn.sendall(headers(length) + data[:len(data) // 2])
        held.append(conn)
        return
    elif mode == 'slow':
        conn.sendall(headers(length))
        step = len(data) // SLOW_PIECES
        for start in range(0, len(data), step):
            time.sleep(SLOW_GAP_S)
            conn.sendall(data[start:start + step])
    conn.close()


def main():
    mode = sys.argv[1]
    server = socket.create_server(('127.0.0.1', 0))
    print(server.getsockname()[1], flush=True)
    held = []  # stalled connections stay open until the server ends
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, mode, held), daemon=True).start()


if __name__ == '__main__':
    main()
