"""celerra: manage a network file server through its control station's XML
management API over HTTPS, with libcelerra (its C interface, through ctypes).

    import celerra

    with celerra.Client("cs0.example.net", "nasadmin", password) as cs:
        for fs in cs.list_filesystems():
            print(fs.name, fs.space_used, fs.space_total)

Every operation of :class:`Client` returns dataclasses or raises a subclass
of :class:`Error`, one per kind of failure. One client per thread.
"""

from ._client import Client, snap_device_name
from ._errors import (ConnectError, Error, InputError, LocalError, LoginRefusedError, NotFoundError, ReplyError,
                      ReplyTooLargeError, ServerError, TimeoutError, TLSError, TransportError, error_class)
from ._loader import LibraryNotFoundError
from ._records import (Checkpoint, CheckpointIds, CifsServer, CifsShare, FileSystem, FileSystemName, Lun, Mount,
                       NfsExport, PfsInfo, Progress, StoragePool, StorageType)

__version__ = "1.0.0"

__all__ = [
    "Client", "snap_device_name", "library_version", "library_path", "Error", "ServerError", "LoginRefusedError",
    "ConnectError", "TimeoutError", "TLSError", "TransportError", "ReplyError", "ReplyTooLargeError", "InputError",
    "NotFoundError", "LocalError", "error_class", "LibraryNotFoundError", "Checkpoint", "CheckpointIds",
    "CifsServer", "CifsShare", "FileSystem", "FileSystemName", "Lun", "Mount", "NfsExport", "PfsInfo", "Progress",
    "StoragePool", "StorageType",
]


def library_version() -> str:
    """The version of the libcelerra loaded (loads it)."""
    from . import _native
    return _native.library().version().decode()


def library_path() -> str:
    """The file libcelerra was loaded from (loads it)."""
    from . import _native
    return _native.library().path
