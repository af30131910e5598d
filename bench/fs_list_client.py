#!/usr/bin/env python3
# The reference client for `celerractl --json fs list`: the same login, the
# same request document and the same JSON on standard output, written the
# way a script would (urllib, ElementTree). Used by compare_fs_list.sh.
#   fs_list_client.py HOST:PORT USER        (password in CELERRA_PASSWORD)
# With FS_LIST_COUNT=1 it prints the number of records in place of the JSON,
# to time the listing without the formatting both clients share.
import http.cookiejar, json, os, ssl, sys, urllib.parse, urllib.request
import xml.etree.ElementTree as ET

REQUEST = ('<?xml version="1.0"?>\n<RequestPacket xmlns="urn:celerra:xml-api:v1">\n\t<Request>\n\t\t<Query>\n'
           '\t\t\t<FileSystemQueryParams>\n\t\t\t\t<AspectSelection fileSystems="true" '
           'fileSystemCapacityInfos="true" fileSystemCapabilities="true"/>\n\t\t\t</FileSystemQueryParams>\n'
           '\t\t</Query>\n\t</Request>\n</RequestPacket>\n\n')


def number(text):  # what the library's atol-style reading gives
    digits = text.strip()
    sign = -1 if digits.startswith('-') else 1
    digits = digits.lstrip('+-')
    end = next((i for i, c in enumerate(digits) if not c.isdigit()), len(digits))
    return sign * int(digits[:end]) if end else 0


def main():
    host, user = sys.argv[1], sys.argv[2]
    tls = ssl.create_default_context()
    tls.check_hostname, tls.verify_mode = False, ssl.CERT_NONE  # self-signed, as celerractl accepts
    opener = urllib.request.build_opener(urllib.request.HTTPSHandler(context=tls),
                                         urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()))
    form = urllib.parse.urlencode({'user': user, 'password': os.environ['CELERRA_PASSWORD'], 'Login': 'login'})
    opener.open('https://%s/Login' % host, form.encode()).read()
    post = urllib.request.Request('https://%s/servlets/CelerraManagementServices' % host, REQUEST.encode(),
                                  {'Content-Type': 'text/xml charset "UTF-8"'})
    root = ET.fromstring(opener.open(post).read())
    for element in root.iter():  # names as written, as the library compares them
        element.tag = element.tag.rpartition('}')[2]
    status = root.find('./Response/QueryStatus')
    if root.find('./Response') is None or (status is not None and status.get('maxSeverity') not in ('ok', 'info')):
        sys.exit('fs_list_client: the server refused the list')
    capacity = {c.get('fileSystem'): c for c in root.iter('FileSystemCapacityInfo')}
    records = []
    for fs in root.iter('FileSystem'):
        cap = capacity.get(fs.get('fileSystem'))
        usage = cap.findall('.//ResourceUsage') if cap is not None else []
        use = usage[0] if len(usage) == 1 else None
        hosts = fs.findall('.//RwFileSystemHosts')
        pools = fs.get('storagePools', '').split(' ')
        records.append({'name': fs.get('name', ''), 'fsId': fs.get('fileSystem', ''), 'type': fs.get('type', ''),
                        'moverId': hosts[0].get('mover', '') if len(hosts) == 1 else '',
                        'storagePools': [number(p) for p in (pools[:-1] if pools[-1] == '' else pools)],
                        'volumeSize': number(cap.get('volumeSize', '')) if cap is not None else 0,
                        **{k: number(use.get(k, '')) if use is not None else 0
                           for k in ('spaceTotal', 'spaceUsed', 'filesUsed', 'filesTotal')}})
    print(len(records) if os.environ.get('FS_LIST_COUNT') else
          json.dumps(records, indent=2, sort_keys=True, ensure_ascii=False))


main()
