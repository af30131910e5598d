set(FUZZ_RESPONSE_CLASSES)
# File systems and checkpoints
list(APPEND FUZZ_RESPONSE_CLASSES CelerraXMLGetPFSInfoResp CelerraXMLGetFSInfoResp CelerraXMLCreateFSNameResp
     CelerraXMLGetChkPtInfoResp CelerraXMLCreateRWChkPtResp CelerraXMLCreateROChkPtResp CelerraXMLDeleteChkPtResp
     CelerraXMLRestorePFSFromChkPtResp)
# Movers, VDMs, CIFS servers, pools and LUNs
list(APPEND FUZZ_RESPONSE_CLASSES RespMoverQueryParams RespVdmQueryParams RespCifsServerQueryParams
     RespCifsConfigQueryParams RespMoverHostQueryParams CelerraXMLGetStgPoolsInfoResp CelerraXMLGetLunInfoResp)
# NFS exports and CIFS shares
list(APPEND FUZZ_RESPONSE_CLASSES CelerraXMLGetNFSInfoResp CelerraXMLGetAllNFSInfoResp CelerraXMLCreateNFSShareResp
     CelerraXMLDeleteNFSShareResp RespCifsShareQueryParams CelerraXMLGetCifsInfoResp RespCreateCifsShare
     RespDeleteCifsShare)
# Mounts
list(APPEND FUZZ_RESPONSE_CLASSES CelerraXMLGetFSMountPointsResp CelerraXMLCreateMountPointResp)
