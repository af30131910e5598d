"""Every operation of celerra.Client against celerra-sim's default dataset:
the reads first, then the flows that change the server."""

import gc

import celerra


def test_file_systems(client):
    by_name = {fs.name: fs for fs in client.list_filesystems()}
    assert sorted(by_name) == ["fs1", "fs10", "fs1_ckpt1", "fs2", "fs_unmounted", "vdmfs1"]
    assert by_name["fs1"] == celerra.FileSystem("fs1", "21", "uxfs", "1", [40], 10240, 10079, 1203, 2048, 1294336)
    assert by_name["fs2"].storage_pools == []

    info = client.get_filesystem(pfs_name="fs1")
    assert info == celerra.PfsInfo("21", "fs1", celerra.StorageType.POOL, "40", "101", "1", False)
    assert client.get_filesystem("22").stg_type is celerra.StorageType.VOLUME
    assert client.get_filesystem_name("24") == celerra.FileSystemName("vdmfs1", "3", True)


def test_a_long_list_comes_whole_and_leaves_the_collector_running(start_sim):
    # The package leaves the process-wide collector alone, however long the list.
    with start_sim("--scale", "600").client() as client:
        by_name = {fs.name: fs for fs in client.list_filesystems()}
    assert gc.isenabled()
    assert len(by_name) == 1206
    assert by_name["gen_fs599"] == celerra.FileSystem("gen_fs599", "100599", "uxfs", "1", [40], 10240, 10079, 1203,
                                                      2048, 1294336)
    assert (by_name["gen_ckpt0"].mover_id, by_name["gen_ckpt0"].storage_pools) == ("", [40])
    assert by_name["fs2"].storage_pools == [] and by_name["fs1"].storage_pools == [40]


def test_shares_mounts_movers_and_storage(client):
    # The library reads no host lists back (see CelerraNFSInfo_t).
    assert client.list_nfs_exports() == [celerra.NfsExport("/fs1", "21", False, "1")]
    assert client.get_nfs_export("/fs1") == celerra.NfsExport("/fs1", "21", False, "1")

    shares = client.list_cifs_shares()
    assert [(s.name, s.path, s.mover, s.mover_id_is_vdm, s.cifs_servers) for s in shares] == [
        ("fs1share", "/fs1", "1", False, ["CIFS_SRV1"]), ("vdmshare", "/vdmfs1", "3", True, ["VDMCIFS"])]
    assert client.get_cifs_share("vdmshare") == celerra.CifsShare("vdmshare", "", "24", "3", True, ["VDMCIFS"])
    assert [(s.name, s.mover, s.mover_id_is_vdm) for s in client.list_cifs_servers()] == [
        ("CIFS_SRV1", "1", False), ("VDMCIFS", "3", True)]
    assert [s.name for s in client.list_cifs_servers("3")] == ["VDMCIFS"]

    assert client.list_mount_paths("1") == ["/fs1", "/fs10", "/root_vdm_3/vdmfs1", "/fs1_ckpt1"]
    assert client.list_mount_paths("3", mover_id_is_vdm=True) == ["/vdmfs1"]
    assert len(client.list_mounts()) == 5
    assert client.list_mounts("1", path="/fs10") == [celerra.Mount("1", "23", "/fs10", False)]
    assert client.get_mount("/vdmfs1", "3", True) == celerra.Mount("3", "24", "/vdmfs1", True)

    assert client.mover_names() == {"1": "server_2", "2": "server_3", "3": "vdm_1"}
    assert client.list_aliases("192.0.2.10") == ["192.0.2.10", "192.0.2.11"]
    assert client.mover_for_vdm("3") == "1"

    assert client.list_storage_pools() == [
        celerra.StoragePool("clar_r5_performance", 40, 1099511627776, 5497558138880, ["1", "2"]),
        celerra.StoragePool("clarsas_archive", 41, 0, 17592186044416, ["1"])]
    assert client.list_luns() == [celerra.Lun("lun1", 5368709120, "21", 1)]


def test_checkpoint_flow(sim, client):
    assert client.list_checkpoints() == [celerra.Checkpoint("31", "", "21", "fs1_ckpt1")]
    assert client.get_checkpoint_ids("fs1_ckpt1") == celerra.CheckpointIds("31", "")

    ro = client.create_ro_checkpoint("21", celerra.StorageType.POOL, "40", "py_ro")
    rw = client.create_rw_checkpoint("21", celerra.StorageType.POOL, "40", "py_rw")
    assert rw.chk_pt_id and rw.base_chk_pt_id == client.get_checkpoint_ids("py_rw_baseline").chk_pt_id
    assert client.get_checkpoint_ids("py_rw") == rw
    assert [c.chk_pt_id for c in client.list_checkpoints("py_ro")] == [ro]

    # The snapshot device name, with the client and on a session of its own.
    assert client.snap_device_name("/fs1/dir", "21", rw.chk_pt_id, "py_rw") == "/py_rw/dir"
    assert celerra.snap_device_name(sim.address, "admin", "S3cr&t=pa55", "/fs1", "21", rw.chk_pt_id,
                                    "py_rw") == "/py_rw"

    client.restore_checkpoint("py_ro", ro, "21")
    client.delete_checkpoint(rw.chk_pt_id, rw.base_chk_pt_id, delete_baseline=True)  # the baseline with it
    client.delete_checkpoint(ro)
    client.delete_checkpoint(ro)  # deleted already: counts as deleted
    assert [c.chk_pt_name for c in client.list_checkpoints()] == ["fs1_ckpt1"]


def test_export_share_and_mount_flows(client):
    client.create_nfs_export("fs2", "2", read_only=True, access_hosts=["192.0.2.7"], root_hosts=["192.0.2.8"])
    assert client.get_nfs_export("/fs2") == celerra.NfsExport("/fs2", "22", True, "2")
    client.delete_nfs_export("/fs2", "2")
    client.delete_nfs_export("/fs2", "2")  # not there: counts as removed

    client.create_cifs_share("py_share", "/fs10", "1", cifs_servers=["CIFS_SRV1"])
    assert client.get_cifs_share("py_share").file_system == "23"
    client.delete_cifs_share("py_share", "1", cifs_servers=["CIFS_SRV1"])
    assert "py_share" not in [s.name for s in client.list_cifs_shares()]

    client.create_mount("/fs_unmounted", "2", "25")
    assert client.get_mount("/fs_unmounted", "2") == celerra.Mount("2", "25", "/fs_unmounted", False)


def test_offline_configuration_reports_its_progress(client):
    heard = []

    def progress(p):
        heard.append(p)
        raise RuntimeError("a callback's failure is not the operation's")

    client.configure_offline("//CIFS_SRV1/fs1share", "//127.0.0.1/stubs", "arcuser", "arc-pw", progress=progress)
    assert heard and all(isinstance(p, celerra.Progress) and p.step and p.attempt == 1 for p in heard)
    # Again: the connection made above is found and brought up to date.
    client.configure_offline("//CIFS_SRV1/fs1share", "//127.0.0.1/stubs", "arcuser", "arc-pw2",
                             set_offline_attr=True)
