#!/usr/bin/env python3
"""A small OAuth2 authorization and token server for the tests, on 127.0.0.1.

It prints its port as the first line on stdout and serves until stdin closes
(the test that started it ends), so no server outlives its test. All state is
in memory.

Endpoints:
  GET  /authorize   authorization code request with PKCE (S256); answers 302
                    to the loopback redirect_uri with code and state
  POST /token       grant_type=authorization_code (code_verifier checked) or
                    grant_type=refresh_token
  POST /introspect  for the mail server: {"active": true, "username": ...}
                    for a live access token, {"active": false} otherwise
Control endpoints for the tests (GET):
  /control/issue           a live access and refresh token without a browser
  /control/revoke-refresh  every refresh token issued so far is revoked
  /control/expire-access   every access token issued so far has expired
  /control/mode            deny=1 (consent refused), stall=1 (the consent page
                           never redirects), expires_in=N; 0 or absent values
                           leave a setting as it is, deny=0 / stall=0 undo
  /control/log             the recorded requests as a JSON list
"""

import argparse
import base64
import hashlib
import json
import re
import secrets
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlencode, urlsplit

VERIFIER = re.compile(r"^[A-Za-z0-9\-._~]{43,128}$")


class State:
    def __init__(self, user, client_id):
        self.lock = threading.Lock()
        self.user = user
        self.client_id = client_id
        self.codes = {}  # code -> request of /authorize
        self.access = {}  # token -> (user, expiry)
        self.refresh = {}  # token -> user
        self.revoked = set()
        self.deny = False
        self.stall = False
        self.expires_in = 3600
        self.log = []

    def new_tokens(self, refresh_token=None):
        access_token = "at-" + secrets.token_urlsafe(24)
        self.access[access_token] = (self.user, time.time() + self.expires_in)
        if refresh_token is None:
            refresh_token = "rt-" + secrets.token_urlsafe(24)
            self.refresh[refresh_token] = self.user
        return {
            "access_token": access_token,
            "token_type": "Bearer",
            "expires_in": self.expires_in,
            "refresh_token": refresh_token,
        }


def first(params, name):
    values = params.get(name)
    return values[0] if values else ""


def loopback(uri):
    try:
        parts = urlsplit(uri)
        return parts.scheme == "http" and parts.hostname in ("127.0.0.1", "::1") and parts.port is not None
    except ValueError:
        return False


def s256(verifier):
    digest = hashlib.sha256(verifier.encode("ascii")).digest()
    return base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii")


class Handler(BaseHTTPRequestHandler):
    server_version = "PostrellaTestOAuth/1"

    def log_message(self, format, *args):  # noqa: A002 - quiet; the log endpoint tells what came
        pass

    @property
    def state(self):
        return self.server.state

    def send_json(self, status, body, headers=None):
        data = json.dumps(body).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Cache-Control", "no-store")
        self.send_header("Content-Length", str(len(data)))
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def send_text(self, status, text):
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def redirect(self, uri, params):
        separator = "&" if "?" in uri else "?"
        self.send_response(302)
        self.send_header("Location", uri + separator + urlencode(params))
        self.send_header("Content-Length", "0")
        self.end_headers()

    def read_form(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode("utf-8", "replace") if length > 0 else ""
        return parse_qs(body, keep_blank_values=True)

    def record(self, query, form):
        entry = {
            "method": self.command,
            "path": urlsplit(self.path).path,
            "query": {k: v[0] for k, v in query.items()},
            "form": {k: v[0] for k, v in form.items()},
            "authorization": self.headers.get("Authorization", ""),
        }
        with self.state.lock:
            self.state.log.append(entry)

    def do_GET(self):
        self.dispatch({})

    def do_POST(self):
        self.dispatch(self.read_form())

    def dispatch(self, form):
        parts = urlsplit(self.path)
        query = parse_qs(parts.query, keep_blank_values=True)
        if not parts.path.startswith("/control/"):
            self.record(query, form)
        routes = {
            "/authorize": self.authorize,
            "/token": self.token,
            "/introspect": self.introspect,
            "/control/issue": self.issue,
            "/control/revoke-refresh": self.revoke_refresh,
            "/control/expire-access": self.expire_access,
            "/control/mode": self.mode,
            "/control/log": self.show_log,
        }
        route = routes.get(parts.path)
        if route is None and parts.path.startswith("/introspect/"):
            route = self.introspect
        if route is None:
            self.send_json(404, {"error": "not_found"})
            return
        route(query, form)

    def authorize(self, query, form):
        if self.command != "GET":
            self.send_json(405, {"error": "invalid_request"})
            return
        redirect_uri = first(query, "redirect_uri")
        # Never redirect to an address that is not the program's own loopback listener.
        if not loopback(redirect_uri):
            self.send_text(400, "redirect_uri must be http://127.0.0.1:<port>/...")
            return
        state = first(query, "state")
        problem = None
        if first(query, "response_type") != "code":
            problem = "unsupported_response_type"
        elif not first(query, "client_id") or (
            self.state.client_id and first(query, "client_id") != self.state.client_id
        ):
            problem = "unauthorized_client"
        elif not state or not first(query, "code_challenge") or first(query, "code_challenge_method") != "S256":
            problem = "invalid_request"
        if problem:
            self.redirect(redirect_uri, {"error": problem, "state": state})
            return
        with self.state.lock:
            deny, stall = self.state.deny, self.state.stall
        if stall:
            self.send_text(200, "<html><body>Please sign in.</body></html>")
            return
        if deny:
            self.redirect(redirect_uri, {"error": "access_denied", "state": state})
            return
        code = "code-" + secrets.token_urlsafe(16)
        with self.state.lock:
            self.state.codes[code] = {
                "client_id": first(query, "client_id"),
                "redirect_uri": redirect_uri,
                "challenge": first(query, "code_challenge"),
                "scope": first(query, "scope"),
                "expires": time.time() + 600,
            }
        self.redirect(redirect_uri, {"code": code, "state": state})

    def token(self, query, form):
        if self.command != "POST":
            self.send_json(405, {"error": "invalid_request"})
            return
        grant = first(form, "grant_type")
        with self.state.lock:
            if grant == "authorization_code":
                status, body = self.code_grant(form)
            elif grant == "refresh_token":
                status, body = self.refresh_grant(form)
            else:
                status, body = 400, {"error": "unsupported_grant_type"}
        self.send_json(status, body)

    def code_grant(self, form):
        # A code is good for one attempt only, right or wrong.
        request = self.state.codes.pop(first(form, "code"), None)
        if request is None or request["expires"] < time.time():
            return 400, {"error": "invalid_grant", "error_description": "unknown or used code"}
        if first(form, "redirect_uri") != request["redirect_uri"]:
            return 400, {"error": "invalid_grant", "error_description": "redirect_uri differs"}
        if first(form, "client_id") != request["client_id"]:
            return 400, {"error": "invalid_client"}
        verifier = first(form, "code_verifier")
        if not VERIFIER.match(verifier) or s256(verifier) != request["challenge"]:
            return 400, {"error": "invalid_grant", "error_description": "code_verifier does not match"}
        body = self.state.new_tokens()
        if request["scope"]:
            body["scope"] = request["scope"]
        return 200, body

    def refresh_grant(self, form):
        refresh_token = first(form, "refresh_token")
        if refresh_token not in self.state.refresh or refresh_token in self.state.revoked:
            return 400, {"error": "invalid_grant", "error_description": "refresh token revoked"}
        return 200, self.state.new_tokens(refresh_token)

    def introspect(self, query, form):
        token = first(form, "token") or first(query, "token")
        if not token and self.path.startswith("/introspect/"):
            token = urlsplit(self.path).path[len("/introspect/"):]
        authorization = self.headers.get("Authorization", "")
        if not token and authorization.lower().startswith("bearer "):
            token = authorization[7:].strip()
        with self.state.lock:
            entry = self.state.access.get(token)
        if entry is None or entry[1] < time.time():
            self.send_json(200, {"active": False})
            return
        self.send_json(200, {"active": True, "username": entry[0], "token_type": "Bearer",
                             "exp": int(entry[1])})

    def issue(self, query, form):
        with self.state.lock:
            body = self.state.new_tokens()
        self.send_json(200, body)

    def revoke_refresh(self, query, form):
        with self.state.lock:
            self.state.revoked.update(self.state.refresh)
        self.send_json(200, {"revoked": True})

    def expire_access(self, query, form):
        with self.state.lock:
            for token, (user, _) in list(self.state.access.items()):
                self.state.access[token] = (user, 0)
        self.send_json(200, {"expired": True})

    def mode(self, query, form):
        with self.state.lock:
            if "deny" in query:
                self.state.deny = first(query, "deny") == "1"
            if "stall" in query:
                self.state.stall = first(query, "stall") == "1"
            if first(query, "expires_in").isdigit() and int(first(query, "expires_in")) > 0:
                self.state.expires_in = int(first(query, "expires_in"))
            body = {"deny": self.state.deny, "stall": self.state.stall, "expires_in": self.state.expires_in}
        self.send_json(200, body)

    def show_log(self, query, form):
        with self.state.lock:
            body = list(self.state.log)
        self.send_json(200, body)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--user", default="test", help="the mailbox user every token belongs to")
    parser.add_argument("--client-id", default="postrella-test", help="the client id expected; empty takes any")
    args = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.state = State(args.user, args.client_id)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(server.server_address[1], flush=True)
    # Serves until whoever started it closes stdin or goes away.
    try:
        while sys.stdin.buffer.read(4096):
            pass
    except KeyboardInterrupt:
        pass
    server.shutdown()


if __name__ == "__main__":
    main()
