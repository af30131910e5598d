"""The client as an object: the context manager, threads, and the session
it keeps."""

import threading

import pytest

import celerra


def test_the_context_manager_ends_the_client_on_every_way_out(sim):
    with sim.client() as c:
        assert len(c.list_filesystems()) == 6
    with pytest.raises(celerra.InputError, match="closed"):
        c.list_filesystems()
    c.close()  # again: nothing

    with pytest.raises(ZeroDivisionError):
        with sim.client() as c:
            1 / 0
    assert "closed" in repr(c) and "S3cr&t" not in repr(c)


def test_clients_in_threads_run_at_once_and_one_shared_client_stays_whole(sim):
    results, failures = [], []

    def work(client, rounds):
        try:
            for _ in range(rounds):
                results.append(len(client.list_filesystems()) + len(client.list_checkpoints()))
        except BaseException as e:  # reported below
            failures.append(e)

    clients = [sim.client() for _ in range(4)]
    shared = sim.client()
    threads = [threading.Thread(target=work, args=(c, 5)) for c in clients]
    threads += [threading.Thread(target=work, args=(shared, 5)) for _ in range(3)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for c in clients + [shared]:
        c.close()
    assert failures == [] and results == [7] * 35

