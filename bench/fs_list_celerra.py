#!/usr/bin/python3
# `fs list` through the Python package `celerra` (libcelerra over ctypes):
# the same login, the same request and the same JSON on standard output as
# the reference client fs_list_client.py, for compare_fs_list.sh to set side
# by side. Needs the package on PYTHONPATH and the library (CELERRA_LIBRARY).
#   fs_list_celerra.py HOST:PORT USER        (password in CELERRA_PASSWORD)
# FS_LIST_COUNT=1: the number of records only, as fs_list_client.py.
import json, os, sys

import celerra


def main():
    host, user = sys.argv[1], sys.argv[2]
    with celerra.Client(host, user, os.environ['CELERRA_PASSWORD']) as cs:
        records = [{'name': fs.name, 'fsId': fs.fs_id, 'type': fs.type, 'moverId': fs.mover_id,
                    'storagePools': fs.storage_pools, 'volumeSize': fs.volume_size, 'spaceTotal': fs.space_total,
                    'spaceUsed': fs.space_used, 'filesUsed': fs.files_used, 'filesTotal': fs.files_total}
                   for fs in cs.list_filesystems()]
    print(len(records) if os.environ.get('FS_LIST_COUNT') else
          json.dumps(records, indent=2, sort_keys=True, ensure_ascii=False))


main()
