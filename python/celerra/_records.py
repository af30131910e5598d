"""What the operations return: plain dataclasses, one per record of the
library, with the C interface's field names (snake_case of the library's
records). Sizes are as the server sends them: MB for file systems, bytes for
pools and LUNs."""

from __future__ import annotations

import enum
import sys
from dataclasses import dataclass, field
from typing import List

# Slots keep a list of tens of thousands of records small (Python 3.10+).
_SLOTS = {"slots": True} if sys.version_info >= (3, 10) else {}


class StorageType(enum.IntEnum):
    """Where the space of a file system or checkpoint comes from."""
    NONE = 0
    POOL = 1
    VOLUME = 2


@dataclass(**_SLOTS)
class FileSystem:
    """One file system of :meth:`Client.list_filesystems`; sizes in MB."""
    name: str
    fs_id: str
    type: str
    mover_id: str
    storage_pools: List[int] = field(default_factory=list)
    volume_size: int = 0
    space_total: int = 0
    space_used: int = 0
    files_used: int = 0
    files_total: int = 0


@dataclass(**_SLOTS)
class PfsInfo:
    """One production file system in detail (:meth:`Client.get_filesystem`)."""
    pfs_id: str
    pfs_name: str
    stg_type: StorageType
    stg_id: str  # the pool's or volume's id
    sav_vol_id: str  # the save volume; "" without checkpoints
    mover_id: str
    mover_is_vdm: bool

    def __post_init__(self) -> None:
        self.stg_type = StorageType(self.stg_type)


@dataclass(**_SLOTS)
class FileSystemName:
    """A file system's name and mover (:meth:`Client.get_filesystem_name`)."""
    fs_name: str
    mover_id: str
    mover_is_vdm: bool


@dataclass(**_SLOTS)
class CheckpointIds:
    """A checkpoint's id and its baseline's ("" for a read-only checkpoint)."""
    chk_pt_id: str
    base_chk_pt_id: str


@dataclass(**_SLOTS)
class Checkpoint:
    """One checkpoint of :meth:`Client.list_checkpoints`."""
    chk_pt_id: str
    base_chk_pt_id: str  # baseline of a writeable checkpoint; may be ""
    fs_id: str  # the production file system
    chk_pt_name: str


@dataclass(**_SLOTS)
class NfsExport:
    """One NFS export. The all-exports list does not fill the host lists."""
    path: str
    file_system: str
    read_only: bool
    mover: str
    access_hosts: List[str] = field(default_factory=list)
    rw_hosts: List[str] = field(default_factory=list)
    root_hosts: List[str] = field(default_factory=list)


@dataclass(**_SLOTS)
class CifsShare:
    """One CIFS share (``path`` is "" from :meth:`Client.get_cifs_share`)."""
    name: str
    path: str
    file_system: str
    mover: str
    mover_id_is_vdm: bool
    cifs_servers: List[str] = field(default_factory=list)


@dataclass(**_SLOTS)
class CifsServer:
    """One CIFS server."""
    mover: str  # id of the mover or VDM it runs on
    name: str
    interfaces: str  # the server's interface list, as sent
    mover_id_is_vdm: bool


@dataclass(**_SLOTS)
class Mount:
    """One mount: file system ``file_system`` at ``path`` on ``mover``."""
    mover: str
    file_system: str
    path: str
    mover_id_is_vdm: bool


@dataclass(**_SLOTS)
class StoragePool:
    """One storage pool; sizes in bytes."""
    name: str
    pool: int  # the pool's id
    used_size: int
    size: int
    movers: List[str] = field(default_factory=list)  # ids of the movers that use it


@dataclass(**_SLOTS)
class Lun:
    """One iSCSI LUN; size in bytes."""
    name: str
    size: int
    file_system: str  # id of the file system that holds it
    lun: int


@dataclass(**_SLOTS)
class Progress:
    """Where :meth:`Client.configure_offline` stands; handed to its
    ``progress`` callable. ``pause_ms`` not 0: the attempt failed and the next
    starts in that many milliseconds."""
    step: str
    attempt: int
    attempts: int
    pause_ms: int
