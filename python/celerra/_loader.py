"""Finding and loading libcelerra.so.

Looked for, in this order (the first that exists is loaded, and a failure to
load it is an error rather than a reason to try the next):

1. the file named by the environment variable ``CELERRA_LIBRARY``;
2. beside the package (``celerra/libcelerra.so.1`` or ``libcelerra.so``), for
   a package that carries its own copy;
3. the installed prefix: the library directory recorded by ``cmake --install``
   next to the package (``_install.py``), then ``<sys.prefix>/lib``;
4. the dynamic loader's own search (``LD_LIBRARY_PATH``, ``ldconfig``'s cache).
"""

from __future__ import annotations

import _thread
import ctypes
import os
import sys
from typing import List, Optional, Tuple

SONAME = "libcelerra.so.1"
_NAMES = (SONAME, "libcelerra.so")
_HERE = os.path.dirname(os.path.abspath(__file__))

_lock = _thread.allocate_lock()
_loaded: Optional[Tuple[ctypes.CDLL, str]] = None


class LibraryNotFoundError(ImportError):
    """libcelerra.so could not be found or loaded; the message names the
    places tried."""


def _installed_dirs() -> List[str]:
    dirs = []
    try:
        from . import _install  # written by cmake --install only
        dirs.append(os.path.normpath(os.path.join(_HERE, _install.LIBDIR_FROM_PACKAGE)))
    except ImportError:
        pass
    dirs.append(os.path.join(sys.prefix, "lib"))
    return dirs


def candidates() -> List[str]:
    """The files looked for before the loader's own search, in order."""
    named = os.environ.get("CELERRA_LIBRARY")
    if named:
        return [named]
    return [os.path.join(d, n) for d in [_HERE] + _installed_dirs() for n in _NAMES]


def _open(path: str) -> ctypes.CDLL:
    # RTLD_LOCAL: the library's symbols stay out of the process's namespace,
    # as for any plug-in.
    return ctypes.CDLL(path, mode=os.RTLD_NOW | os.RTLD_LOCAL)


def _path_of(lib: ctypes.CDLL, symbol: str) -> str:
    """The file the loader took a library from (for a name it searched)."""

    class DlInfo(ctypes.Structure):
        _fields_ = [("dli_fname", ctypes.c_char_p), ("dli_fbase", ctypes.c_void_p),
                    ("dli_sname", ctypes.c_char_p), ("dli_saddr", ctypes.c_void_p)]

    info = DlInfo()
    try:
        dladdr = ctypes.CDLL(None).dladdr
        dladdr.argtypes = [ctypes.c_void_p, ctypes.POINTER(DlInfo)]
        if dladdr(ctypes.cast(getattr(lib, symbol), ctypes.c_void_p), ctypes.byref(info)) and info.dli_fname:
            return os.path.realpath(os.fsdecode(info.dli_fname))
    except (AttributeError, OSError):
        pass
    return lib._name


def load(symbol: str) -> Tuple[ctypes.CDLL, str]:
    """The library and the file it was loaded from; loaded once per process.
    ``symbol`` is one the library must export (to tell where it came from)."""
    global _loaded
    with _lock:
        if _loaded is None:
            _loaded = _find(symbol)
        return _loaded


def _find(symbol: str) -> Tuple[ctypes.CDLL, str]:
    tried = candidates()
    explicit = bool(os.environ.get("CELERRA_LIBRARY"))
    for path in tried:
        if explicit or os.path.exists(path):
            try:
                lib = _open(path)
            except OSError as e:
                raise LibraryNotFoundError("cannot load %s: %s" % (path, e)) from None
            return lib, _path_of(lib, symbol)
    for name in _NAMES:
        try:
            lib = _open(name)
        except OSError:
            tried.append(name + " (the loader's search)")
            continue
        return lib, _path_of(lib, symbol)
    raise LibraryNotFoundError("libcelerra not found; looked for " + ", ".join(tried) +
                               " (CELERRA_LIBRARY names the file)")
