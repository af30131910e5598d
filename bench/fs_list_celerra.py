#!/usr/bin/python3
# `fs list` through the Python package `celerra` (libcelerra over ctypes):
# the same login, the same request and the same JSON on standard output as
# the reference client fs_list_client.py, for compare_fs_list.sh to set side
# by side. Needs the package on PYTHONPATH and the library (CELERRA_LIBRARY).
#   fs_list_celerra.py HOST:PORT USER        (password in CELERRA_PASSWORD)
# FS_LIST_COUNT=1: the number of records only, as fs_list_client.py. The
# records are then the package's own (its dataclasses), as the reference
# client's are its dictionaries; the dictionaries here are for the JSON.
import json, os, sys

import celerra


def main():
    host, user = sys.argv[1], sys.argv[2]
    with celerra.Client(host, user, os.environ['CELERRA_PASSWORD']) as cs:
        filesystems = cs.list_filesystems()
    if os.environ.get('FS_LIST_COUNT'):
        print(len(filesystems))
        return
    records = [{'name': fs.name, 'fsId': fs.fs_id, 'type': fs.type, 'moverId': fs.mover_id,
                'storagePools': fs.storage_pools, 'volumeSize': fs.volume_size, 'spaceTotal': fs.space_total,
                'spaceUsed': fs.space_used, 'filesUsed': fs.files_used, 'filesTotal': fs.files_total}
               for fs in filesystems]
    print(json.dumps(records, indent=2, sort_keys=True, ensure_ascii=False))


main()
