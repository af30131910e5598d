"""The ctypes bindings of libcelerra's C interface (capi/celerra.h): its
structs and the prototypes of its functions, and nothing else. The rest of
the package marshals through these generically."""

from __future__ import annotations

import _thread
import ctypes
from ctypes import POINTER, Structure, c_bool, c_char_p, c_double, c_int32, c_int64, c_size_t, c_uint32, c_uint64, \
    c_void_p
from typing import Any, Dict, List, Optional, Tuple

from . import _loader

_strings = POINTER(c_char_p)


class Error(Structure):
    _fields_ = [("status", c_int32), ("kind", c_int32), ("kind_name", c_char_p), ("server_code", c_char_p),
                ("server_message", c_char_p), ("message", c_char_p), ("severity", c_char_p),
                ("description", c_char_p), ("action", c_char_p), ("diagnostics", c_char_p),
                ("error_code", c_int64)]


class Progress(Structure):
    _fields_ = [("step", c_char_p), ("attempt", c_uint32), ("attempts", c_uint32), ("pause_ms", c_uint64)]


PROGRESS_FN = ctypes.CFUNCTYPE(None, POINTER(Progress), c_void_p)


def _record(name: str, fields: List[Tuple[str, Any]]) -> type:
    return type(name, (Structure,), {"_fields_": fields})


# The result records, each with its list ({items, count}).
FileSystem = _record("FileSystem", [
    ("name", c_char_p), ("fs_id", c_char_p), ("type", c_char_p), ("mover_id", c_char_p),
    ("storage_pools", POINTER(c_int32)), ("storage_pool_count", c_size_t), ("volume_size", c_int64),
    ("space_total", c_int64), ("space_used", c_int64), ("files_used", c_int64), ("files_total", c_int64)])
PfsInfo = _record("PfsInfo", [
    ("pfs_id", c_char_p), ("pfs_name", c_char_p), ("stg_type", c_int32), ("stg_id", c_char_p),
    ("sav_vol_id", c_char_p), ("mover_id", c_char_p), ("mover_is_vdm", c_bool)])
FileSystemName = _record("FileSystemName", [("fs_name", c_char_p), ("mover_id", c_char_p), ("mover_is_vdm", c_bool)])
Checkpoint = _record("Checkpoint", [
    ("chk_pt_id", c_char_p), ("base_chk_pt_id", c_char_p), ("fs_id", c_char_p), ("chk_pt_name", c_char_p)])
NfsExport = _record("NfsExport", [
    ("path", c_char_p), ("file_system", c_char_p), ("read_only", c_bool), ("mover", c_char_p),
    ("access_hosts", _strings), ("access_host_count", c_size_t), ("rw_hosts", _strings), ("rw_host_count", c_size_t),
    ("root_hosts", _strings), ("root_host_count", c_size_t)])
CifsShare = _record("CifsShare", [
    ("name", c_char_p), ("path", c_char_p), ("file_system", c_char_p), ("mover", c_char_p),
    ("mover_id_is_vdm", c_bool), ("cifs_servers", _strings), ("cifs_server_count", c_size_t)])
CifsServer = _record("CifsServer", [
    ("mover", c_char_p), ("name", c_char_p), ("interfaces", c_char_p), ("mover_id_is_vdm", c_bool)])
Mount = _record("Mount", [("mover", c_char_p), ("file_system", c_char_p), ("path", c_char_p),
                          ("mover_id_is_vdm", c_bool)])
MoverName = _record("MoverName", [("id", c_char_p), ("name", c_char_p)])
StoragePool = _record("StoragePool", [
    ("name", c_char_p), ("pool", c_int32), ("used_size", c_int64), ("size", c_int64), ("movers", _strings),
    ("mover_count", c_size_t)])
Lun = _record("Lun", [("name", c_char_p), ("size", c_int64), ("file_system", c_char_p), ("lun", c_int32)])
StringList = _record("StringList", [("items", _strings), ("count", c_size_t)])

LISTS: Dict[type, type] = {
    item: _record(item.__name__ + "List", [("items", POINTER(item)), ("count", c_size_t)])
    for item in (FileSystem, Checkpoint, NfsExport, CifsShare, CifsServer, Mount, MoverName, StoragePool, Lun)
}

_client = c_void_p
_text = c_char_p


def _out(t: type) -> Any:
    return POINTER(POINTER(t))


# Every function: (result type, argument types).
_PROTOTYPES: Dict[str, Tuple[Any, List[Any]]] = {
    "celerra_version": (c_char_p, []),
    "celerra_last_error": (POINTER(Error), [_client]),
    "celerra_string_free": (None, [c_void_p]),
    "celerra_string_list_free": (None, [POINTER(StringList)]),
    "celerra_client_new": (_client, [_text, _text, _text, c_uint64]),
    "celerra_client_free": (None, [_client]),
    "celerra_set_connect_timeout": (c_bool, [_client, c_double]),
    "celerra_set_transfer_timeout": (c_bool, [_client, c_double]),
    "celerra_set_ca_bundle": (c_bool, [_client, _text]),
    "celerra_set_pinned_public_key": (c_bool, [_client, _text]),
    "celerra_set_max_reply_size": (c_bool, [_client, c_uint64]),
    "celerra_set_progress_callback": (c_bool, [_client, PROGRESS_FN, c_void_p]),
    "celerra_pfs_info_free": (None, [POINTER(PfsInfo)]),
    "celerra_filesystem_get_info": (c_bool, [_client, _text, _text, _out(PfsInfo)]),
    "celerra_filesystem_name_free": (None, [POINTER(FileSystemName)]),
    "celerra_filesystem_get_name": (c_bool, [_client, _text, _out(FileSystemName)]),
    "celerra_checkpoint_create_rw": (c_bool, [_client, _text, c_int32, _text, _text, c_bool, _text,
                                              POINTER(c_void_p), POINTER(c_void_p)]),
    "celerra_checkpoint_create_ro": (c_bool, [_client, _text, c_int32, _text, _text, POINTER(c_void_p)]),
    "celerra_checkpoint_get_ids": (c_bool, [_client, _text, POINTER(c_void_p), POINTER(c_void_p)]),
    "celerra_checkpoint_list_all": (c_bool, [_client, _text, _out(LISTS[Checkpoint])]),
    "celerra_checkpoint_delete": (c_bool, [_client, _text, _text, c_bool]),
    "celerra_checkpoint_restore": (c_bool, [_client, _text, _text, _text]),
    "celerra_nfs_export_free": (None, [POINTER(NfsExport)]),
    "celerra_nfs_get": (c_bool, [_client, _text, _out(NfsExport)]),
    "celerra_nfs_create": (c_bool, [_client, _text, _text, c_bool, _strings, c_size_t, _strings, c_size_t, _strings,
                                    c_size_t]),
    "celerra_nfs_delete": (c_bool, [_client, _text, _text]),
    "celerra_cifs_share_free": (None, [POINTER(CifsShare)]),
    "celerra_cifs_create": (c_bool, [_client, _text, _text, _text, c_bool, _strings, c_size_t]),
    "celerra_cifs_delete": (c_bool, [_client, _text, _text, c_bool, _strings, c_size_t]),
    "celerra_cifs_get": (c_bool, [_client, _text, _out(CifsShare)]),
    "celerra_cifs_list_servers": (c_bool, [_client, _text, _out(LISTS[CifsServer])]),
    "celerra_mount_free": (None, [POINTER(Mount)]),
    "celerra_mount_list_paths": (c_bool, [_client, _text, c_bool, _out(StringList)]),
    "celerra_mount_list_all": (c_bool, [_client, _text, c_bool, _text, _out(LISTS[Mount])]),
    "celerra_mount_get": (c_bool, [_client, _text, _text, c_bool, _out(Mount)]),
    "celerra_mount_create": (c_bool, [_client, _text, _text, _text, c_bool]),
    "celerra_mover_list_names": (c_bool, [_client, _out(LISTS[MoverName])]),
    "celerra_mover_list_aliases": (c_bool, [_client, _text, _out(StringList)]),
    "celerra_mover_for_vdm": (c_bool, [_client, _text, POINTER(c_void_p)]),
    "celerra_offline_configure": (c_bool, [_client, _text, _text, _text, _text, c_bool, c_bool]),
    "celerra_snap_device_name_with_client": (c_bool, [_client, _text, _text, _text, _text, POINTER(c_void_p)]),
    "celerra_snap_device_name": (c_bool, [c_uint64, _text, _text, _text, _text, _text, _text, _text,
                                          POINTER(c_void_p)]),
}

# The lists: "celerra_<group>_list_all"-style getters and their frees.
_LIST_FUNCTIONS = {
    "filesystem_list_all": FileSystem, "nfs_list_all": NfsExport, "cifs_list_all": CifsShare,
    "storage_list_pools": StoragePool, "storage_list_luns": Lun,
}
for _name, _item in _LIST_FUNCTIONS.items():
    _PROTOTYPES["celerra_" + _name] = (c_bool, [_client, _out(LISTS[_item])])
_LIST_FREES = {FileSystem: "filesystem", Checkpoint: "checkpoint", NfsExport: "nfs_export", CifsShare: "cifs_share",
               CifsServer: "cifs_server", Mount: "mount", MoverName: "mover_name", StoragePool: "storage_pool",
               Lun: "lun"}
for _item, _name in _LIST_FREES.items():
    _PROTOTYPES["celerra_%s_list_free" % _name] = (None, [POINTER(LISTS[_item])])

# The free function of each result type.
FREES: Dict[type, str] = {LISTS[item]: "celerra_%s_list_free" % name for item, name in _LIST_FREES.items()}
FREES.update({StringList: "celerra_string_list_free", PfsInfo: "celerra_pfs_info_free",
              FileSystemName: "celerra_filesystem_name_free", NfsExport: "celerra_nfs_export_free",
              CifsShare: "celerra_cifs_share_free", Mount: "celerra_mount_free"})


class Library:
    """The loaded library with every prototype set."""

    def __init__(self) -> None:
        self.cdll, self.path = _loader.load("celerra_version")
        for name, (restype, argtypes) in _PROTOTYPES.items():
            try:
                function = getattr(self.cdll, name)
            except AttributeError:
                raise _loader.LibraryNotFoundError("%s has no %s: a libcelerra without this C interface"
                                                   % (self.path, name)) from None
            function.restype = restype
            function.argtypes = argtypes
            setattr(self, name[len("celerra_"):], function)

    def free(self, result: Any) -> None:
        getattr(self.cdll, FREES[result._type_])(result)


_library: Optional[Library] = None
_lock = _thread.allocate_lock()


def library() -> Library:
    """The library, loaded at the first call."""
    global _library
    with _lock:
        if _library is None:
            _library = Library()
        return _library
