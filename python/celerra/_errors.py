"""The exceptions: one class per kind of failure the library reports, all
under :class:`Error`."""

from __future__ import annotations

import builtins
from typing import Dict, Type


class Error(Exception):
    """A failed operation. ``kind`` says which kind of failure it was (the
    library's name for it, e.g. ``"login-refused"``), ``message`` says why in
    plain words; a refusal by the server also carries the server's
    ``server_code`` and ``server_message`` and the rest of its problem
    (``severity``, ``description``, ``action``, ``diagnostics``), all ""
    otherwise. ``status`` is the library's (1 warning, 2 error);
    ``error_code`` the numeric reason of :meth:`Client.list_aliases`."""

    kind = "unknown"

    def __init__(self, message: str, *, kind: str = "", status: int = 2, server_code: str = "",
                 server_message: str = "", severity: str = "error", description: str = "", action: str = "",
                 diagnostics: str = "", error_code: int = 0) -> None:
        super().__init__(message)
        self.message = message
        if kind:
            self.kind = kind
        self.status = status
        self.server_code = server_code
        self.server_message = server_message
        self.severity = severity
        self.description = description
        self.action = action
        self.diagnostics = diagnostics
        self.error_code = error_code

    def __str__(self) -> str:
        return self.message


class ServerError(Error):
    """The server refused the request; its code and message are in the error."""
    kind = "server"


class LoginRefusedError(Error):
    """The control station refused the user name or password."""
    kind = "login-refused"


class ConnectError(Error):
    """No connection: host name not found, connection refused, unreachable."""
    kind = "connect"


class TimeoutError(Error, builtins.TimeoutError):
    """No connection or no complete reply within the time-out."""
    kind = "timeout"


class TLSError(Error):
    """Certificate not trusted, pinned key mismatch, CA bundle, handshake."""
    kind = "tls"


class TransportError(Error):
    """HTTP error status, connection broken mid-reply, other transfer failures."""
    kind = "transport"


class ReplyError(Error):
    """A reply that could not be read or lacked what was asked for."""
    kind = "reply"


class ReplyTooLargeError(Error):
    """A reply above the client's reply-size limit."""
    kind = "reply-too-large"


class InputError(Error, ValueError):
    """An argument refused before anything was sent (empty, control
    characters, invalid UTF-8, a setting out of range, a closed client)."""
    kind = "input"


class NotFoundError(Error, LookupError):
    """The server has no such object."""
    kind = "not-found"


class LocalError(Error):
    """This machine: private files, the trace lock, memory."""
    kind = "local"


def _key(kind: str) -> str:
    # The C interface may spell a kind with "_" where the library's name has "-".
    return kind.replace("_", "-")


_BY_KIND: Dict[str, Type[Error]] = {
    _key(cls.kind): cls
    for cls in (ServerError, LoginRefusedError, ConnectError, TimeoutError, TLSError, TransportError, ReplyError,
                ReplyTooLargeError, InputError, NotFoundError, LocalError)
}


def error_class(kind: str) -> Type[Error]:
    """The class raised for a kind name; :class:`Error` itself for a kind this
    package does not know (a newer library)."""
    return _BY_KIND.get(_key(kind), Error)
