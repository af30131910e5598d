"""celerra.Client: one facade of the library, its operations as methods."""

from __future__ import annotations

import _thread
import ctypes
from ctypes import POINTER, byref, c_char_p, c_void_p
from typing import Any, Callable, Dict, Iterable, List, Optional, Sequence, Tuple

from . import _native, _records
from ._errors import Error, InputError, error_class

Text = Optional[str]


def _encode(value: Text, name: str) -> Optional[bytes]:
    """A text argument as the library takes it. A NUL would cut the text
    short on the C side and name another object, so it is refused here."""
    if value is None:
        return None
    if not isinstance(value, str):
        raise InputError("%s must be a str, not %s" % (name, type(value).__name__), kind="input")
    try:
        data = value.encode("utf-8")
    except UnicodeEncodeError as e:
        raise InputError("%s is not valid UTF-8 text: %s" % (name, e), kind="input") from None
    if b"\0" in data:
        raise InputError("%s holds a NUL character at byte %d" % (name, data.index(b"\0")), kind="input")
    return data


def _encode_list(values: Optional[Iterable[str]], name: str) -> Tuple[Any, int]:
    if values is None:
        return None, 0
    if isinstance(values, str):
        raise InputError("%s must be a list of str, not one str" % name, kind="input")
    items = [_encode(v, name) for v in values]
    return (c_char_p * len(items))(*items), len(items)


def _text(data: Optional[bytes]) -> str:
    return data.decode("utf-8", "replace") if data else ""


def _raise_last(lib: _native.Library, handle: Optional[int]) -> None:
    e = lib.last_error(handle).contents
    raise error_class(_text(e.kind_name))(
        _text(e.message), kind=_text(e.kind_name), status=e.status, server_code=_text(e.server_code),
        server_message=_text(e.server_message), severity=_text(e.severity), description=_text(e.description),
        action=_text(e.action), diagnostics=_text(e.diagnostics), error_code=e.error_code)


def _texts(values: List[Optional[bytes]]) -> List[str]:
    """Texts of the library as str, all in one decode: a C text holds no
    NUL, so the NUL that joins them splits them again."""
    if None in values:
        values = [v or b"" for v in values]
    return b"\0".join(values).decode("utf-8", "replace").split("\0") if values else []


def _column(ftype: Any, address: int, count: int, stride: int) -> List[Any]:
    """One field of `count` records that lie `stride` bytes apart from
    `address` on: read as one strided slice of the C array, in C."""
    step = stride // ctypes.sizeof(ftype)
    return (ftype * ((count - 1) * step + 1)).from_address(address)[::step]


def _arrays(etype: Any, pointers: List[Optional[int]], counts: List[int]) -> List[List[Any]]:
    """The array each record points to (`counts` items of `etype`). Arrays
    that lie one after another, as the library lays out those of a list, are
    read in one go."""
    first = next((p for p, n in zip(pointers, counts) if n), None)
    if first is None:
        return [[] for _ in counts]
    size, expected = ctypes.sizeof(etype), first
    for p, n in zip(pointers, counts):
        if n:
            if p != expected:  # apart: one read per record
                return [(etype * k).from_address(q)[:] if k else [] for q, k in zip(pointers, counts)]
            expected += n * size
    values = (etype * ((expected - first) // size)).from_address(first)[:]
    out, at = [], 0
    for n in counts:
        out.append(values[at:at + n])
        at += n
    return out


class _Converter:
    """Turns C records of one kind, side by side in memory, into their
    dataclasses. Each field is read for all the records at once and the
    dataclasses are made from the columns, so that a list of tens of
    thousands of records costs a few passes in C rather than Python steps
    per field. A pointer field followed by its "_count" is an array."""

    def __init__(self, ctype: type, cls: type) -> None:
        self.cls, self.stride = cls, ctypes.sizeof(ctype)
        fields = ctype._fields_
        self.plan: List[Tuple[Any, int, int]] = []  # (type, offset, offset of the count or -1)
        for i, (name, ftype) in enumerate(fields):
            if name.endswith("_count"):
                continue
            offset = getattr(ctype, name).offset
            if ftype is not c_char_p and hasattr(ftype, "_type_") and i + 1 < len(fields) and \
                    fields[i + 1][0].endswith("_count"):
                self.plan.append((ftype._type_, offset, getattr(ctype, fields[i + 1][0]).offset))
            else:
                self.plan.append((ftype, offset, -1))

    def __call__(self, address: int, count: int) -> List[Any]:
        if not count:
            return []
        columns = []
        for ftype, offset, count_offset in self.plan:
            if count_offset < 0:
                column = _column(ftype, address + offset, count, self.stride)
                columns.append(_texts(column) if ftype is c_char_p else column)
                continue
            arrays = _arrays(ftype, _column(c_void_p, address + offset, count, self.stride),
                             _column(ctypes.c_size_t, address + count_offset, count, self.stride))
            columns.append([_texts(a) for a in arrays] if ftype is c_char_p else arrays)
        return list(map(self.cls, *columns))


_RECORDS = {
    _native.FileSystem: _records.FileSystem, _native.PfsInfo: _records.PfsInfo,
    _native.FileSystemName: _records.FileSystemName, _native.Checkpoint: _records.Checkpoint,
    _native.NfsExport: _records.NfsExport, _native.CifsShare: _records.CifsShare,
    _native.CifsServer: _records.CifsServer, _native.Mount: _records.Mount, _native.StoragePool: _records.StoragePool,
    _native.Lun: _records.Lun,
}
_CONVERTERS: Dict[type, _Converter] = {}  # made at first use


def _converter(ctype: type) -> _Converter:
    convert = _CONVERTERS.get(ctype)
    if convert is None:
        convert = _CONVERTERS[ctype] = _Converter(ctype, _RECORDS[ctype])
    return convert


def _items(result: Any) -> List[Any]:
    if not result.count:
        return []
    convert = _converter(result._fields_[0][1]._type_)
    return convert(ctypes.cast(result.items, c_void_p).value, result.count)


def _strings(result: Any) -> List[str]:
    return _texts(result.items[:result.count])


def _take_string(lib: _native.Library, pointer: c_void_p) -> str:
    try:
        return _text(ctypes.string_at(pointer.value))
    finally:
        lib.string_free(pointer)


class Client:
    """One client of a control station: one host, one set of credentials, one
    job id (it goes into every log line) and one HTTPS session, logged in at
    the first operation and kept for the later ones.

    Every operation either returns its result (dataclasses of
    :mod:`celerra`) or raises a subclass of :class:`celerra.Error` that says
    which kind of failure it was and why. The operations are those of the
    library's facade (manage/ManageCelerra.h), with its contracts: what is
    checked before anything is sent, which server answers count as success,
    and what each costs.

    Threads: use one client per thread. A client's calls are serialised by a
    lock, so sharing one is safe, but its calls then wait for each other;
    separate clients run at once (the library releases the interpreter's
    lock while it waits on the network).

    The settings given here are those of :meth:`set_connect_timeout` and the
    setters beside it; a refused value raises :class:`celerra.InputError`.
    Use it as a context manager, or call :meth:`close`, to end the session.
    """

    def __init__(self, host: str, user: str, password: str, job_id: int = 0, *,
                 connect_timeout: Optional[float] = None, transfer_timeout: Optional[float] = None,
                 ca_bundle: Optional[str] = None, pinned_public_key: Optional[str] = None,
                 max_reply_size: Optional[int] = None) -> None:
        self._lib = _native.library()
        self._lock = _thread.allocate_lock()
        self._handle: Optional[int] = None
        args = (_encode(host, "host"), _encode(user, "user"), _encode(password, "password"))
        if not isinstance(job_id, int) or not 0 <= job_id < 2 ** 64:
            raise InputError("job_id must be a whole number from 0 to 2**64-1, not %r" % (job_id,), kind="input")
        self._handle = self._lib.client_new(*args, job_id)
        if not self._handle:
            _raise_last(self._lib, None)
        self.host = host
        self.job_id = job_id
        for setter, value in ((self.set_connect_timeout, connect_timeout),
                              (self.set_transfer_timeout, transfer_timeout), (self.set_ca_bundle, ca_bundle),
                              (self.set_pinned_public_key, pinned_public_key),
                              (self.set_max_reply_size, max_reply_size)):
            if value is not None:
                try:
                    setter(value)  # type: ignore[operator]
                except Error:
                    self.close()
                    raise

    def __repr__(self) -> str:
        state = "closed" if self._handle is None else "open"
        return "<celerra.Client %s job %d (%s)>" % (self.host, self.job_id, state)

    # ------------------------------------------------------------ life

    def close(self) -> None:
        """Ends the session and frees the client; later calls raise
        :class:`celerra.InputError`. Calling it again does nothing."""
        with self._lock:
            handle, self._handle = self._handle, None
            if handle:
                self._lib.client_free(handle)

    def __enter__(self) -> "Client":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_handle", None):
            self.close()

    def _call(self, function: str, *args: Any) -> None:
        """One call of the C interface on this client; raises its error."""
        with self._lock:
            if self._handle is None:
                raise InputError("the client is closed", kind="input")
            if not getattr(self._lib, function)(self._handle, *args):
                _raise_last(self._lib, self._handle)

    def _result(self, function: str, out_type: type, convert: Callable[[Any], Any], *args: Any) -> Any:
        """A call whose last argument receives a result of `out_type`,
        converted and freed."""
        out = POINTER(out_type)()
        self._call(function, *args, byref(out))
        try:
            return convert(out.contents)
        finally:
            self._lib.free(out)

    def _list(self, function: str, item: type, *args: Any) -> List[Any]:
        return self._result(function, _native.LISTS[item], _items, *args)

    def _record(self, function: str, ctype: type, *args: Any) -> Any:
        return self._result(function, ctype, lambda r: _converter(ctype)(ctypes.addressof(r), 1)[0], *args)

    def _texts(self, function: str, count: int, *args: Any) -> List[str]:
        """A call whose last `count` arguments receive texts."""
        outs = [c_void_p() for _ in range(count)]
        try:
            self._call(function, *args, *[byref(o) for o in outs])
            return [_text(ctypes.string_at(o.value)) for o in outs]
        finally:
            for o in outs:
                self._lib.string_free(o)

    # ------------------------------------------------------------ settings

    def set_connect_timeout(self, seconds: float) -> None:
        """Connect time-out, seconds from 0.001 to 86400 (also bounds the wait
        for the trace lock); from the next exchange on."""
        self._call("set_connect_timeout", float(seconds))

    def set_transfer_timeout(self, seconds: float) -> None:
        """Limit of one whole exchange, seconds from 0.001 to 86400."""
        self._call("set_transfer_timeout", float(seconds))

    def set_ca_bundle(self, path: str) -> None:
        """Verify the server's certificate and host name against this readable
        PEM file; "" for the environment's (sCELERRACABUNDLE), else none. The
        next exchange logs in again."""
        self._call("set_ca_bundle", _encode(path, "path"))

    def set_pinned_public_key(self, key: str) -> None:
        """Accept only this server key: "sha256//<base64>" or a readable
        PEM/DER file; "" for the environment's, else none."""
        self._call("set_pinned_public_key", _encode(key, "key"))

    def set_max_reply_size(self, size: int) -> None:
        """The largest reply taken, in bytes (at least 1); a larger one raises
        :class:`celerra.ReplyTooLargeError`."""
        if not isinstance(size, int) or not 0 <= size < 2 ** 64:
            raise InputError("size must be a whole number of bytes, not %r" % (size,), kind="input")
        self._call("set_max_reply_size", size)

    # ------------------------------------------------------------ file systems

    def list_filesystems(self) -> List[_records.FileSystem]:
        """Every file system with its capacity figures (one exchange, whatever
        the count)."""
        return self._list("filesystem_list_all", _native.FileSystem)

    def get_filesystem(self, pfs_id: str = "", pfs_name: str = "") -> _records.PfsInfo:
        """One production file system in detail, by id, or by name when no id
        is given."""
        return self._record("filesystem_get_info", _native.PfsInfo, _encode(pfs_id, "pfs_id"),
                            _encode(pfs_name, "pfs_name"))

    def get_filesystem_name(self, fs_id: str) -> _records.FileSystemName:
        """A file system's name and mover from its id."""
        return self._record("filesystem_get_name", _native.FileSystemName, _encode(fs_id, "fs_id"))

    # ------------------------------------------------------------ checkpoints

    def create_rw_checkpoint(self, pfs_id: str, stg_type: int, stg_id: str, name: str, create_baseline: bool = True,
                             base_chk_pt_id: str = "") -> _records.CheckpointIds:
        """A writeable checkpoint of file system `pfs_id`, its save space in
        pool or volume `stg_id` (`stg_type`: :class:`celerra.StorageType`).
        With `create_baseline` the server makes its read-only baseline
        (`name` + "_baseline"), else `base_chk_pt_id` names it. One of that
        name that exists already is returned as if made."""
        ids = self._texts("checkpoint_create_rw", 2, _encode(pfs_id, "pfs_id"), int(stg_type),
                          _encode(stg_id, "stg_id"), _encode(name, "name"), bool(create_baseline),
                          _encode(base_chk_pt_id, "base_chk_pt_id"))
        return _records.CheckpointIds(*ids)

    def create_ro_checkpoint(self, pfs_id: str, stg_type: int, stg_id: str, name: str) -> str:
        """A read-only checkpoint; returns its id."""
        return self._texts("checkpoint_create_ro", 1, _encode(pfs_id, "pfs_id"), int(stg_type),
                           _encode(stg_id, "stg_id"), _encode(name, "name"))[0]

    def get_checkpoint_ids(self, name: str) -> _records.CheckpointIds:
        """The ids of the checkpoint named exactly `name`; raises
        :class:`celerra.NotFoundError` when there is none."""
        return _records.CheckpointIds(*self._texts("checkpoint_get_ids", 2, _encode(name, "name")))

    def list_checkpoints(self, name: str = "") -> List[_records.Checkpoint]:
        """Every checkpoint, or those named `name`."""
        return self._list("checkpoint_list_all", _native.Checkpoint, _encode(name, "name"))

    def delete_checkpoint(self, chk_pt_id: str, base_chk_pt_id: str = "", delete_baseline: bool = False) -> None:
        """Deletes a checkpoint (one deleted already counts). With
        `delete_baseline` a baseline is deleted by force with the writeable
        checkpoints it still has."""
        self._call("checkpoint_delete", _encode(chk_pt_id, "chk_pt_id"), _encode(base_chk_pt_id, "base_chk_pt_id"),
                   bool(delete_baseline))

    def restore_checkpoint(self, chk_pt_name: str, chk_pt_id: str, pfs_id: str) -> None:
        """Restores production file system `pfs_id` from the checkpoint."""
        self._call("checkpoint_restore", _encode(chk_pt_name, "chk_pt_name"), _encode(chk_pt_id, "chk_pt_id"),
                   _encode(pfs_id, "pfs_id"))

    # ------------------------------------------------------------ NFS exports

    def get_nfs_export(self, path: str) -> _records.NfsExport:
        """The NFS export of `path` ("/" is put in front when missing)."""
        return self._record("nfs_get", _native.NfsExport, _encode(path, "path"))

    def list_nfs_exports(self) -> List[_records.NfsExport]:
        """Every NFS export (without host lists)."""
        return self._list("nfs_list_all", _native.NfsExport)

    def create_nfs_export(self, pfs_or_chk_pt_name: str, mover_id: str, read_only: bool = False,
                          access_hosts: Sequence[str] = (), rw_hosts: Sequence[str] = (),
                          root_hosts: Sequence[str] = ()) -> None:
        """Exports a file system or checkpoint on a mover (one that exists
        already counts, once the lookup that follows finds it)."""
        self._call("nfs_create", _encode(pfs_or_chk_pt_name, "pfs_or_chk_pt_name"), _encode(mover_id, "mover_id"),
                   bool(read_only), *_encode_list(access_hosts, "access_hosts"), *_encode_list(rw_hosts, "rw_hosts"),
                   *_encode_list(root_hosts, "root_hosts"))

    def delete_nfs_export(self, path: str, mover_id: str) -> None:
        """Removes the export of `path` from a mover (one not there counts)."""
        self._call("nfs_delete", _encode(path, "path"), _encode(mover_id, "mover_id"))

    # ------------------------------------------------------------ CIFS

    def create_cifs_share(self, name: str, path: str, mover_id: str, mover_id_is_vdm: bool = False,
                          cifs_servers: Sequence[str] = ()) -> None:
        """Shares `path` as `name` on a mover or VDM, for the CIFS servers
        named (none: all of the mover's)."""
        self._call("cifs_create", _encode(name, "name"), _encode(path, "path"), _encode(mover_id, "mover_id"),
                   bool(mover_id_is_vdm), *_encode_list(cifs_servers, "cifs_servers"))

    def delete_cifs_share(self, name: str, mover_id: str, mover_id_is_vdm: bool = False,
                          cifs_servers: Sequence[str] = ()) -> None:
        """Removes share `name` from a mover or VDM (one not there counts)."""
        self._call("cifs_delete", _encode(mover_id, "mover_id"), _encode(name, "name"), bool(mover_id_is_vdm),
                   *_encode_list(cifs_servers, "cifs_servers"))

    def get_cifs_share(self, name: str) -> _records.CifsShare:
        """The share named `name` (its `path` is not reported: "")."""
        return self._record("cifs_get", _native.CifsShare, _encode(name, "name"))

    def list_cifs_shares(self) -> List[_records.CifsShare]:
        """Every CIFS share."""
        return self._list("cifs_list_all", _native.CifsShare)

    def list_cifs_servers(self, mover: str = "") -> List[_records.CifsServer]:
        """The CIFS servers of a mover ("": of all)."""
        return self._list("cifs_list_servers", _native.CifsServer, _encode(mover, "mover"))

    # ------------------------------------------------------------ mounts

    def list_mount_paths(self, mover_id: str, mover_id_is_vdm: bool = False) -> List[str]:
        """The mount paths of a mover or VDM."""
        return self._result("mount_list_paths", _native.StringList, _strings, _encode(mover_id, "mover_id"),
                            bool(mover_id_is_vdm))

    def list_mounts(self, mover_id: str = "", mover_id_is_vdm: bool = False, path: str = "") -> List[_records.Mount]:
        """The mounts of a mover or VDM ("": of all), at `path` only unless
        it is ""."""
        return self._list("mount_list_all", _native.Mount, _encode(mover_id, "mover_id"), bool(mover_id_is_vdm),
                          _encode(path, "path"))

    def get_mount(self, path: str, mover_id: str = "", mover_id_is_vdm: bool = False) -> _records.Mount:
        """The mount at `path` of a mover or VDM ("": any); raises
        :class:`celerra.NotFoundError` when there is none."""
        return self._record("mount_get", _native.Mount, _encode(path, "path"), _encode(mover_id, "mover_id"),
                            bool(mover_id_is_vdm))

    def create_mount(self, path: str, mover_id: str, file_system_id: str, mover_id_is_vdm: bool = False) -> None:
        """Mounts a file system or checkpoint at `path` on a mover or VDM."""
        self._call("mount_create", _encode(path, "path"), _encode(mover_id, "mover_id"),
                   _encode(file_system_id, "file_system_id"), bool(mover_id_is_vdm))

    # ------------------------------------------------------------ movers

    def mover_names(self) -> Dict[str, str]:
        """Id to name of every data mover and VDM (two exchanges)."""
        return self._result("mover_list_names", _native.LISTS[_native.MoverName],
                            lambda names: {_text(m.id): _text(m.name) for m in names.items[:names.count]})

    def list_aliases(self, interface_ip: str) -> List[str]:
        """Every address of the network device that carries `interface_ip`,
        sorted; raises :class:`celerra.NotFoundError` for an address no
        device carries (its `error_code` is 3)."""
        return self._result("mover_list_aliases", _native.StringList, _strings,
                            _encode(interface_ip, "interface_ip"))

    def mover_for_vdm(self, vdm: str) -> str:
        """The id of the data mover that hosts VDM `vdm`."""
        return self._texts("mover_for_vdm", 1, _encode(vdm, "vdm"))[0]

    # ------------------------------------------------------------ storage

    def list_storage_pools(self) -> List[_records.StoragePool]:
        """Every storage pool."""
        return self._list("storage_list_pools", _native.StoragePool)

    def list_luns(self) -> List[_records.Lun]:
        """Every iSCSI LUN."""
        return self._list("storage_list_luns", _native.Lun)

    # ------------------------------------------------------------ offline archiving

    def configure_offline(self, celerra_share: str, arkiv_agent_share: str, user_name: str, password: str,
                          skip_connection_lookup: bool = False, set_offline_attr: bool = False,
                          progress: Optional[Callable[[_records.Progress], None]] = None) -> None:
        """Prepares the file system behind CIFS share `celerra_share`
        ("//server/share") for archiving to `arkiv_agent_share`: the
        connection with `user_name`/`password`, with `set_offline_attr` the
        offline attribute, and the archive server among the mover's HTTP
        hosts. Each step is tried up to 9 times with 15 s pauses, so this can
        take minutes; `progress` (called on this thread; what it raises is
        ignored) hears of every attempt and pause."""
        args = (_encode(celerra_share, "celerra_share"), _encode(arkiv_agent_share, "arkiv_agent_share"),
                _encode(user_name, "user_name"), _encode(password, "password"), bool(skip_connection_lookup),
                bool(set_offline_attr))
        if progress is None:
            self._call("offline_configure", *args)
            return

        def tell(p: Any, _user: Any) -> None:
            try:
                c = p.contents
                progress(_records.Progress(_text(c.step), c.attempt, c.attempts, c.pause_ms))
            except BaseException:  # the library's thread must not see it
                pass

        hook = _native.PROGRESS_FN(tell)
        self._call("set_progress_callback", hook, None)
        try:
            self._call("offline_configure", *args)
        finally:
            self._call("set_progress_callback", _native.PROGRESS_FN(), None)

    # ------------------------------------------------------------ snapshot device name

    def snap_device_name(self, share_path: str, fs_id: str, chk_pt_id: str, chk_pt_name: str) -> str:
        """The path under which writeable checkpoint `chk_pt_id` (named
        `chk_pt_name`) shows the data of share `share_path` of file system
        `fs_id`; the checkpoint is mounted at "/" + `chk_pt_name` when it is
        not mounted yet."""
        return self._texts("snap_device_name_with_client", 1, _encode(share_path, "share_path"),
                           _encode(fs_id, "fs_id"), _encode(chk_pt_id, "chk_pt_id"),
                           _encode(chk_pt_name, "chk_pt_name"))[0]


def snap_device_name(host: str, user: str, password: str, share_path: str, fs_id: str, chk_pt_id: str,
                     chk_pt_name: str, job_id: int = 0) -> str:
    """:meth:`Client.snap_device_name` with a session of its own for this one
    call. Any thread, any number at once."""
    lib = _native.library()
    out = c_void_p()
    args = [_encode(v, n) for v, n in ((host, "host"), (user, "user"), (password, "password"),
                                       (share_path, "share_path"), (fs_id, "fs_id"), (chk_pt_id, "chk_pt_id"),
                                       (chk_pt_name, "chk_pt_name"))]
    if not lib.snap_device_name(job_id, *args, byref(out)):
        _raise_last(lib, None)
    return _take_string(lib, out)
