#!/usr/bin/env python3
"""A phone as adb's wire protocol shows it over TCP, on 127.0.0.1 only.

It answers the host's CNXN with a CNXN of its own (a phone that needs no
key), so that "adb connect" brings it online, and answers every OPEN with a
CLSE. Prints its port on the first line of standard output, then serves
until it is killed.
"""
import socket
import struct
import sys
import threading

A_CNXN, A_OPEN, A_CLSE = 0x4E584E43, 0x4E45504F, 0x45534C43
VERSION = 0x01000001
MAX_DATA = 256 * 1024
BANNER = b"device::ro.product.name=simulated;ro.product.model=Simulated;ro.product.device=simulated;features=shell_v2\0"


def message(command, arg0, arg1, data=b""):
    header = struct.pack("<6I", command, arg0, arg1, len(data), sum(data) & 0xFFFFFFFF, command ^ 0xFFFFFFFF)
    return header + data


def read_exactly(conn, count):
    data = b""
    while len(data) < count:
        piece = conn.recv(count - len(data))
        if not piece:
            raise EOFError
        data += piece
    return data


def serve(conn):
    try:
        while True:
            command, arg0, _, length, _, magic = struct.unpack("<6I", read_exactly(conn, 24))
            if magic != command ^ 0xFFFFFFFF or length > MAX_DATA:
                return
            read_exactly(conn, length)
            if command == A_CNXN:
                conn.sendall(message(A_CNXN, VERSION, MAX_DATA, BANNER))
            elif command == A_OPEN:
                conn.sendall(message(A_CLSE, 0, arg0))
    except (EOFError, OSError):
        pass
    finally:
        conn.close()


def main():
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
