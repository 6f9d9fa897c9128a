#!/usr/bin/env python3
"""Python's http.server on 127.0.0.1 (port 0: a free one, which it prints), except that a path
whose first segment names a fault of Handler.fault() gets it. Usage: faultyhttp.py PORT FOLDER."""
import functools
import http.server
import socket
import struct
import sys
import time

BODY = bytes((i * 7 + i // 251) & 0xFF for i in range(64 * 1024))
HALF = BODY[:len(BODY) // 2]
GET_FAULTS = ('close-after-headers', 'reset-mid-body', 'chunked-cut', 'stall-mid-body', 'slow')


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_HEAD(self):
        self.fault(True) or super().do_HEAD()

    def do_GET(self):
        self.fault(False) or super().do_GET()

    def send(self, body, status='200 OK', framing='Content-Length: %d' % len(BODY)):
        self.wfile.write(('HTTP/1.1 %s\r\nConnection: close\r\n%s\r\n\r\n' % (status, framing))
                         .encode() + body)

    def reset(self):
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
        self.connection.close()  # for real once the handler lets go of its streams

    def fault(self, head):
        mode = self.path.split('/')[1]
        if mode.startswith('status-'):
            self.send(b'', mode[len('status-'):] + ' Fault', 'Content-Length: 0')
        elif mode == 'reset-before-headers':
            self.reset()
        elif mode == 'stall-before-headers':
            time.sleep(3600)  # the server is killed long before
        elif mode == 'ok' or (head and mode in GET_FAULTS):
            self.send(b'' if head else BODY)
        elif mode == 'close-after-headers':
            self.send(b'')
        elif mode in ('reset-mid-body', 'stall-mid-body'):
            self.send(HALF)
            time.sleep(0.2 if mode == 'reset-mid-body' else 3600)
            self.reset()
        elif mode == 'chunked-cut':
            self.send(b'%x\r\n%s\r\n' % (len(HALF), HALF), framing='Transfer-Encoding: chunked')
        elif mode == 'slow':
            self.send(b'')
            for start in range(0, len(BODY), len(BODY) // 8):
                time.sleep(0.15)
                self.wfile.write(BODY[start:start + len(BODY) // 8])
        elif mode != 'close-before-headers':
            return False
        self.close_connection = True
        return True


if __name__ == '__main__':
    server = http.server.ThreadingHTTPServer(
        ('127.0.0.1', int(sys.argv[1])), functools.partial(Handler, directory=sys.argv[2]))
    print(server.server_address[1], flush=True)
    server.serve_forever()
