#!/usr/bin/env python3
"""Writes an upload request laid out as Quavella lays it out, for a ringtone file.

Usage: upload_request.py RINGTONE CARRIER_ID PHONE_ID TYPE_WORD LOCAL_NAME SONG_NAME OUT
"""
import sys


def main():
    ringtone_path, carrier, phone, word, local, song, out = sys.argv[1:8]
    with open(ringtone_path, "rb") as f:
        ringtone = f.read()
    boundary = "-" * 27 + "70A9140A7F2D"
    fields = [("sms", "5551234567"), ("file_name", "5622.mp3"), ("song_name", song),
              ("carrier_index", carrier), ("phone_id", phone), ("version", "2.0"),
              ("serial", "0"), ("file_size", str(len(ringtone)))]
    body = b""
    for name, value in fields:
        body += ("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n"
                 % (boundary, name, value)).encode()
    body += ("--%s\r\nContent-Disposition: form-data; name=\"file_data\"; filename=\"%s\"\r\n"
             "Content-Type: %s\r\n\r\n" % (boundary, local, word)).encode()
    body += ringtone + ("\r\n--%s--\r\n" % boundary).encode()
    head = ("POST /ringtones/upload2.php HTTP/1.1\r\nContent-Type: multipart/form-data; "
            "boundary=%s\r\nHost: quavella.example\r\nContent-Length: %d\r\n"
            "User-Agent: WinInetPost/0.2\r\nConnection: close\r\n\r\n" % (boundary, len(body)))
    with open(out, "wb") as f:
        f.write(head.encode() + body)
    return 0


if __name__ == "__main__":
    sys.exit(main())
