#!/usr/bin/env python3
"""An HTTP server for fault tests: answers the archive root properly and each file with a fault.

Usage: faultyhttp.py. Prints its port on 127.0.0.1, then serves until killed. A request for "/"
(the client's connection probe) is answered 200. Every file has the same body (BODY_SIZE bytes,
see body()); the first segment of its path names the fault, e.g. "/stall-mid-body/run1.rec":
  ok                    no fault
  status-NNN            HEAD and GET answered with status NNN and no body
  close-before-headers  HEAD and GET: the request is read, the connection closed unanswered
  reset-before-headers  HEAD and GET: the request is read, the connection reset (RST)
  stall-before-headers  HEAD and GET: the request is read, nothing answered, connection kept
and for GET only (HEAD answered properly):
  close-after-headers   headers with Content-Length, then the connection is closed
  reset-mid-body        half the body, then the connection is reset
  chunked-cut           chunked encoding, half the body, closed without the last chunk
  stall-mid-body        half the body, then silence, keeping the connection
  slow                  the whole body in SLOW_PIECES pieces, SLOW_GAP_S apart
Any other first segment is answered 400. One server serves every fault, so that a test pays
the interpreter's start once.
"""
import socket
import struct
import threading
import time

BODY_SIZE = 64 * 1024
SLOW_PIECES = 8
SLOW_GAP_S = 0.15


GET_FAULTS = ('close-after-headers', 'reset-mid-body', 'chunked-cut', 'stall-mid-body', 'slow')


def body():
    return bytes((i * 7 + i // 251) & 0xFF for i in range(BODY_SIZE))


BODY = body()


def headers(extra, status='200 OK'):
    return ('HTTP/1.1 %s\r\nConnection: close\r\n%s\r\n' % (status, extra)).encode()


def reset(conn):
    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
    conn.close()


def serve(conn, held):
    request = b''
    while b'\r\n\r\n' not in request:
        chunk = conn.recv(65536)
        if not chunk:
            conn.close()
            return
        request += chunk
    data = BODY
    length = 'Content-Length: %d\r\n' % len(data)
    is_head = request.startswith(b'HEAD')
    path = request.split(b' ', 2)[1].decode('latin-1')
    mode = path.lstrip('/').split('/')[0] if path != '/' else 'ok'
    if mode == 'ok':
        conn.sendall(headers(length) + (b'' if is_head else data))
    elif mode.startswith('status-'):
        conn.sendall(headers('Content-Length: 0\r\n', mode[len('status-'):] + ' Fault'))
    elif mode == 'close-before-headers':
        pass
    elif mode == 'reset-before-headers':
        reset(conn)
        return
    elif mode == 'stall-before-headers':
        held.append(conn)
        return
    elif mode not in GET_FAULTS:
        conn.sendall(headers('Content-Length: 0\r\n', '400 Unknown Fault'))
    elif is_head:
        conn.sendall(headers(length))
    elif mode == 'close-after-headers':
        conn.sendall(headers(length))
    elif mode == 'reset-mid-body':
        conn.sendall(headers(length) + data[:len(data) // 2])
        time.sleep(0.2)
        reset(conn)
        return
    elif mode == 'chunked-cut':
        half = data[:len(data) // 2]
        conn.sendall(headers('Transfer-Encoding: chunked\r\n')
                     + b'%x\r\n' % len(half) + half + b'\r\n')
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
    server = socket.create_server(('127.0.0.1', 0))
    print(server.getsockname()[1], flush=True)
    held = []  # stalled connections stay open until the server ends
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, held), daemon=True).start()


if __name__ == '__main__':
    main()
