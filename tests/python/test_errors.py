"""Every exception class, each provoked the way it happens: a refusal by the
server, by the login, by the network, by TLS, a reply the library will not
take, a refused argument, an object that is not there, this machine."""

import os
import socket

import pytest

import celerra

# One fault per request type: each operation below meets its own.
FAULTS = ["--fault", "kind=code,request=CifsShareQueryParams,code=13421772873,message=share table locked",
          "--fault", "kind=refuse,request=StoragePoolQueryParams,count=all",
          "--fault", "kind=malformed,request=MountQueryParams,count=all",
          "--fault", "kind=delay,request=IscsiLunQueryParams,ms=3000,count=all"]


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def local_failure(tmp_path, monkeypatch):
    # A private directory that others may write to is refused, never used.
    private = tmp_path / ("celerra-%d" % os.geteuid())
    private.mkdir()
    private.chmod(0o777)
    monkeypatch.setenv("sCELERRALOGXMLMSG", "yes")


CASES = [
    # (exception, what to set up, the call, what the message says)
    (celerra.ServerError, {}, lambda c: c.list_cifs_shares(), "share table locked"),
    (celerra.TransportError, {}, lambda c: c.list_storage_pools(), "HTTP 500"),
    (celerra.ReplyError, {}, lambda c: c.list_mounts(), ""),
    (celerra.TimeoutError, {"transfer_timeout": 1.5}, lambda c: c.list_luns(), "within"),
    (celerra.ReplyTooLargeError, {"max_reply_size": 64}, lambda c: c.list_filesystems(), "limit of 64 bytes"),
    (celerra.NotFoundError, {}, lambda c: c.list_aliases("203.0.113.9"), "203.0.113.9"),
    (celerra.InputError, {}, lambda c: c.get_checkpoint_ids(""), "empty"),
    (celerra.TLSError, {"pinned_public_key": "sha256//" + "A" * 43 + "="}, lambda c: c.list_filesystems(),
     "does not match the pinned"),
    (celerra.LoginRefusedError, {"password": "wrong"}, lambda c: c.list_filesystems(), "login refused"),
    (celerra.ConnectError, {"address": "closed"}, lambda c: c.list_filesystems(), "connection refused"),
    (celerra.LocalError, {"local": True}, lambda c: c.list_filesystems(), "celerra-"),
]


@pytest.mark.parametrize("cls,setup,call,words", CASES, ids=[c[0].__name__ for c in CASES])
def test_each_kind_of_failure_raises_its_class(start_sim, tmp_path, monkeypatch, cls, setup, call, words):
    sim = start_sim(*FAULTS)
    setup = dict(setup)
    if setup.pop("local", False):
        local_failure(tmp_path, monkeypatch)
    if setup.pop("address", None):
        sim.address = "127.0.0.1:%d" % closed_port()
    with sim.client(**setup) as c:
        with pytest.raises(cls) as raised:
            call(c)
    e = raised.value
    assert isinstance(e, celerra.Error) and type(e) is celerra.error_class(e.kind)
    assert e.status == 2 and words in e.message and str(e) == e.message
    assert "S3cr&t" not in e.message
    if cls is celerra.ServerError:
        assert e.server_code == "13421772873" and e.server_message.startswith("share table locked")
    else:
        assert e.server_code == ""
    assert e.error_code == (3 if cls is celerra.NotFoundError else 0)


def test_refused_arguments_are_input_errors_before_anything_is_sent(client):
    for call in (lambda: client.get_checkpoint_ids("fs1_ckpt1\0other"),  # C would read a shorter name
                 lambda: client.get_checkpoint_ids("a\nb"),
                 lambda: client.get_checkpoint_ids("\udc80"),
                 lambda: client.get_checkpoint_ids(31),
                 lambda: client.create_cifs_share("s", "/fs1", "1", cifs_servers="CIFS_SRV1"),
                 lambda: client.set_connect_timeout(0),
                 lambda: client.set_max_reply_size(-1),
                 lambda: client.set_ca_bundle("/nonexistent.pem")):
        with pytest.raises(celerra.InputError) as raised:
            call()
        assert raised.value.kind == "input" and isinstance(raised.value, ValueError)
    with pytest.raises(celerra.InputError):
        celerra.Client("h", "u", "p", job_id=-1)


def test_the_python_base_classes():
    assert issubclass(celerra.TimeoutError, TimeoutError)
    assert issubclass(celerra.NotFoundError, LookupError)
    assert celerra.error_class("kind-of-a-newer-library") is celerra.Error
    assert celerra.error_class("not_found") is celerra.NotFoundError


def test_the_self_contained_snapshot_device_name_raises_too(start_sim):
    sim = start_sim()
    with pytest.raises(celerra.LoginRefusedError):
        celerra.snap_device_name(sim.address, "admin", "wrong", "/fs1", "21", "31", "fs1_ckpt1")
