#!/usr/bin/python3
"""A calendar server of the tests' own that serves its objects byte for byte as they lie in a folder, however broken,
as no real server would: the sync's tests put hostile objects beside good ones through it.

    plain-dav.py FOLDER

The collection is /calendar/, its objects the files FOLDER/objects/*.ics. It offers no sync-collection, so a client
lists the collection's ETags. It listens on 127.0.0.1 on a free port, which it writes to FOLDER/port once it listens.
Each request's method and path are appended to FOLDER/requests. A write whose body holds a text of a line of
FOLDER/refuse ("TEXT STATUS") is answered with that status. An answer is gzipped when the client takes gzip."""

import gzip
import hashlib
import http.server
import os
import re
import sys
import urllib.parse

FOLDER = sys.argv[1]
OBJECTS = os.path.join(FOLDER, "objects")
COLLECTION = "/calendar/"


def etag_of(data):
    return '"%s"' % hashlib.sha1(data).hexdigest()[:16]


def xml_text(data):
    return data.replace(b"&", b"&amp;").replace(b"<", b"&lt;").replace(b">", b"&gt;")


def names():
    return sorted(n for n in os.listdir(OBJECTS) if n.endswith(".ics"))


def read(name):
    with open(os.path.join(OBJECTS, name), "rb") as f:
        return f.read()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def answer(self, status, body=b"", headers=()):
        if body and "gzip" in (self.headers.get("Accept-Encoding") or ""):
            body = gzip.compress(body)
            headers = list(headers) + [("Content-Encoding", "gzip")]
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def multistatus(self, responses):
        body = b'<?xml version="1.0" encoding="utf-8"?>\n<D:multistatus xmlns:D="DAV:" ' \
               b'xmlns:C="urn:ietf:params:xml:ns:caldav" xmlns:CS="http://calendarserver.org/ns/">'
        body += b"".join(responses) + b"</D:multistatus>"
        self.answer(207, body, [("Content-Type", "application/xml; charset=utf-8")])

    def name(self):
        path = urllib.parse.unquote(urllib.parse.urlparse(self.path).path)
        return path[len(COLLECTION):] if path.startswith(COLLECTION) else None

    def logged(self):
        with open(os.path.join(FOLDER, "requests"), "a") as f:
            f.write("%s %s\n" % (self.command, self.path))

    def do_PROPFIND(self):
        self.logged()
        self.body()
        ctag = hashlib.sha1(b"".join(etag_of(read(n)).encode() for n in names())).hexdigest()
        responses = [b"<D:response><D:href>%s</D:href><D:propstat><D:prop><D:resourcetype><D:collection/>"
                     b"<C:calendar/></D:resourcetype><CS:getctag>%s</CS:getctag></D:prop>"
                     b"<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>"
                     % (COLLECTION.encode(), ctag.encode())]
        if self.headers.get("Depth") == "1":
            for n in names():
                responses.append(b"<D:response><D:href>%s%s</D:href><D:propstat><D:prop><D:resourcetype/>"
                                 b"<D:getetag>%s</D:getetag></D:prop><D:status>HTTP/1.1 200 OK</D:status>"
                                 b"</D:propstat></D:response>"
                                 % (COLLECTION.encode(), urllib.parse.quote(n).encode(), etag_of(read(n)).encode()))
        self.multistatus(responses)

    def do_REPORT(self):
        self.logged()
        body = self.body()
        if b"sync-collection" in body:
            self.answer(501)
            return
        responses = []
        for href in re.findall(rb"<(?:\w+:)?href>([^<]*)</(?:\w+:)?href>", body):
            name = urllib.parse.unquote(href.decode()).rsplit("/", 1)[-1]
            if not os.path.exists(os.path.join(OBJECTS, name)):
                responses.append(b"<D:response><D:href>%s</D:href><D:status>HTTP/1.1 404 Not Found</D:status>"
                                 b"</D:response>" % href)
                continue
            data = read(name)
            responses.append(b"<D:response><D:href>%s</D:href><D:propstat><D:prop><D:getetag>%s</D:getetag>"
                             b"<C:calendar-data>%s</C:calendar-data></D:prop><D:status>HTTP/1.1 200 OK</D:status>"
                             b"</D:propstat></D:response>" % (href, etag_of(data).encode(), xml_text(data)))
        self.multistatus(responses)

    def precondition(self, name):
        path = os.path.join(OBJECTS, name)
        exists = os.path.exists(path)
        if self.headers.get("If-None-Match") == "*" and exists:
            return False
        match = self.headers.get("If-Match")
        return match is None or (exists and etag_of(read(name)) == match)

    def do_PUT(self):
        self.logged()
        body = self.body()
        name = self.name()
        refuse = os.path.join(FOLDER, "refuse")
        if os.path.exists(refuse):
            with open(refuse, "rb") as f:
                for line in f.read().splitlines():
                    text, _, status = line.rpartition(b" ")
                    if text and text in body:
                        self.answer(int(status))
                        return
        if not name or not self.precondition(name):
            self.answer(412)
            return
        with open(os.path.join(OBJECTS, name), "wb") as f:
            f.write(body)
        self.answer(201, headers=[("ETag", etag_of(body))])

    def do_DELETE(self):
        self.logged()
        name = self.name()
        if not name or not os.path.exists(os.path.join(OBJECTS, name)):
            self.answer(404)
        elif not self.precondition(name):
            self.answer(412)
        else:
            os.remove(os.path.join(OBJECTS, name))
            self.answer(204)


def main():
    os.makedirs(OBJECTS, exist_ok=True)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    with open(os.path.join(FOLDER, "port.new"), "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(os.path.join(FOLDER, "port.new"), os.path.join(FOLDER, "port"))
    server.serve_forever()


if __name__ == "__main__":
    main()
