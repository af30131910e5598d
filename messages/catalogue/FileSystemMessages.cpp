#include "messages/catalogue/FileSystemMessages.h"

#include <string_view>
#include <unordered_map>

#include "messages/internal/RequestWriter.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

// The self-written query document around one FileSystemQueryParams body.
std::string FileSystemQuery(const std::string& params, PacketEnd end) {
  return RequestWriter()
      .Open("\t", "Request")
      .Open("\t\t", "Query")
      .Open("\t\t\t", "FileSystemQueryParams")
      .Lines(params)
      .Close("\t\t\t", "FileSystemQueryParams")
      .Close("\t\t", "Query")
      .Close("\t", "Request")
      .Finish(end);
}

}  // namespace

// ------------------------------------------------------------ requests

CelerraXMLGetPFSInfoReq::CelerraXMLGetPFSInfoReq() {}
CelerraXMLGetPFSInfoReq::CelerraXMLGetPFSInfoReq(unsigned long long jobId) : CelerraXMLMessageReq(jobId, false, "") {}
CelerraXMLGetPFSInfoReq::~CelerraXMLGetPFSInfoReq() {}
const char* CelerraXMLGetPFSInfoReq::GetMessageName() { return "CelerraXMLGetPFSInfoReq"; }

bool CelerraXMLGetPFSInfoReq::SerializeXML() {
  m_sSerializedXML.clear();
  if (!m_sPFSName.empty() && m_sPFSName[0] == '/') m_sPFSName.erase(0, 1);
  if (m_sPFSId.empty() && m_sPFSName.empty()) {
    CEL_WARN(m_Event, 0, "Returning false because m_sPFSId and m_sPFSName are empty");
    return false;
  }
  // The server knows a file system by its own name only: fs1/sub is asked
  // for as fs1.
  std::string alias = m_sPFSName.substr(0, m_sPFSName.find('/'));
  std::string params;
  params += "\t\t\t\t<AspectSelection" + Attr("fileSystems", "true") + Attr("fileSystemCapacityInfos", "true") +
            Attr("fileSystemCheckpointInfos", "true") + Attr("fileSystemCapabilities", "true") + "/>\n";
  if (!m_sPFSId.empty())
    params += "\t\t\t\t<FileSystem" + Attr("fileSystem", m_sPFSId) + "/>\n";
  else
    params += "\t\t\t\t<Alias" + Attr("name", alias) + "/>\n";
  m_sSerializedXML = FileSystemQuery(params, PacketEnd::kSpacedBlankLine);
  CEL_DEBUG(m_Event, 3, "query:\n%s", m_sSerializedXML.c_str());
  return true;
}

CelerraXMLGetFSInfoReq::CelerraXMLGetFSInfoReq() {}
CelerraXMLGetFSInfoReq::CelerraXMLGetFSInfoReq(unsigned long long jobId) : CelerraXMLMessageReq(jobId, false, "") {}
CelerraXMLGetFSInfoReq::~CelerraXMLGetFSInfoReq() {}
const char* CelerraXMLGetFSInfoReq::GetMessageName() { return "CelerraXMLGetFSInfoReq"; }

bool CelerraXMLGetFSInfoReq::SerializeXML() {
  m_sSerializedXML.clear();
  std::string params = "\t\t\t\t<AspectSelection" + Attr("fileSystems", "true") +
                       Attr("fileSystemCapacityInfos", "true") + Attr("fileSystemCapabilities", "true") + "/>\n";
  m_sSerializedXML = FileSystemQuery(params, PacketEnd::kBlankLine);
  return true;
}

CelerraXMLCreateFSNameReq::CelerraXMLCreateFSNameReq() {}
CelerraXMLCreateFSNameReq::CelerraXMLCreateFSNameReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, "") {}
CelerraXMLCreateFSNameReq::~CelerraXMLCreateFSNameReq() {}
const char* CelerraXMLCreateFSNameReq::GetMessageName() { return "CelerraXMLCreateFSNameReq"; }

bool CelerraXMLCreateFSNameReq::SerializeXML() {
  m_sSerializedXML.clear();
  std::string params = "\t\t\t\t<AspectSelection" + Attr("fileSystems", "true") + "/>\n" + "\t\t\t\t<FileSystem" +
                       Attr("fileSystem", m_sFSId) + "/>\n";
  m_sSerializedXML = FileSystemQuery(params, PacketEnd::kBlankLine);
  CEL_DEBUG(m_Event, 6, "m_sXML = %s", m_sSerializedXML.c_str());
  return true;
}

// ----------------------------------------------------------- responses

CelerraXMLGetPFSInfoResp::CelerraXMLGetPFSInfoResp() : CelerraXMLGetPFSInfoResp(0) {}
CelerraXMLGetPFSInfoResp::CelerraXMLGetPFSInfoResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false), m_eStgType(STG_TYPE_NONE), m_bMoverIsVdm(false) {
  m_eResponseType = 0;
  init();
}
CelerraXMLGetPFSInfoResp::~CelerraXMLGetPFSInfoResp() {}
const char* CelerraXMLGetPFSInfoResp::GetMessageName() { return "CelerraXMLGetPFSInfoResp"; }

namespace {

// What GetPFSInfo's reply says of its file system, read step by step; each
// step that finds the reply unusable says why (empty: it is fine).
struct PFSReading {
  const XmlNode* body;
  std::string& pfsId;
  EvEvent& event;

  // The file system's own element: its id or name (whichever was not asked
  // for), and its mover. Missing pieces are logged, not refused.
  void FileSystem(std::string& pfsName, std::string& moverId, bool& moverIsVdm) {
    const XmlElement* fs = FirstElement(body, "FileSystem");
    if (!fs) {
      CEL_ERROR(event, "Tag FileSystem is absent");
      return;
    }
    if (pfsId.empty()) pfsId = Attr(fs, "fileSystem");
    if (pfsName.empty()) pfsName = Attr(fs, "name");
    const XmlElement* hosts = FirstElement(fs, "RwFileSystemHosts");
    if (!hosts) {
      CEL_ERROR(event, "Tag RwFileSystemHosts is absent insdie fileSystem");
      return;
    }
    moverId = Attr(hosts, "mover");
    moverIsVdm = Attr(hosts, "moverIdIsVdm") == "true";
  }

  // The save volume. A file system without checkpoints has none, and no
  // element.
  std::string SaveVolume(std::string& savVolId) {
    std::vector<const XmlElement*> ckptInfos = Elements(body, "FileSystemCheckpointInfo");
    if (ckptInfos.size() != 1) {
      CEL_ERROR(event, "Tag FileSystemCheckpointInfo is absent");
      return std::string();
    }
    std::string savVol = Attr(ckptInfos[0], "savVolume");
    std::string fsId = Attr(ckptInfos[0], "fileSystem");
    if (savVol.empty() || fsId.empty()) {
      CEL_ERROR(event, "Unable to get SavVolId or sFSID");
      return "Reply without the save volume or file system of its checkpoint information";
    }
    if (fsId != pfsId) {
      CEL_ERROR(event, "We are looking for PFS info for PFSId:[%s] we seemed to have got the SavVol for PFSId:[%s]",
                pfsId.c_str(), fsId.c_str());
      return "Reply holds the checkpoint information of file system " + fsId + " instead of " + pfsId;
    }
    savVolId = savVol;
    return std::string();
  }

  // The one FileSystemCapabilities element, about this file system.
  std::string Capabilities(const XmlElement** caps) {
    std::vector<const XmlElement*> capabilities = Elements(body, "FileSystemCapabilities");
    if (capabilities.empty()) {
      CEL_ERROR(event, "Tag FileSystemCapabilities is absent");
      return "Reply holds no FileSystemCapabilities element";
    }
    if (capabilities.size() != 1) {
      CEL_ERROR(event, "Inappropriate number [%lu] of FileSystemCapabilities nodes in XML",
                static_cast<unsigned long>(capabilities.size()));
      return "Reply holds " + std::to_string(capabilities.size()) + " FileSystemCapabilities elements instead of one";
    }
    *caps = capabilities[0];
    std::string capsFsId = Attr(*caps, "fileSystem");
    if (capsFsId.empty()) {
      CEL_ERROR(event, "Unable to get sFSID");
      return "Reply without the file system of its capabilities";
    }
    if (capsFsId != pfsId) {
      CEL_ERROR(event,
                "We are looking for PFS info for PFSId:[%s] we seemed to have got the FileSystemCapabilities for "
                "PFSId:[%s]",
                pfsId.c_str(), capsFsId.c_str());
      return "Reply holds the capabilities of file system " + capsFsId + " instead of " + pfsId;
    }
    return std::string();
  }

  // The storage the capabilities name: a pool, else a disk volume.
  std::string Storage(eCelerraStgType& stgType, std::string& stgId) {
    const XmlElement* caps = nullptr;
    std::string why = Capabilities(&caps);
    if (!why.empty()) return why;
    std::vector<const XmlElement*> pools = ChildElements(caps, "StoragePoolBased");
    if (pools.size() == 1) {
      stgType = STG_TYPE_POOL;
      stgId = Attr(pools[0], "recommendedPool");
      return std::string();
    }
    CEL_ERROR(event, "Tag StoragePoolBased is absent, may be this is a metavolume based FS");
    std::vector<const XmlElement*> volumes = ChildElements(caps, "DiskVolumeBased");
    if (volumes.size() != 1) {
      CEL_ERROR(event,
                "Tag DiskVolumeBased is absent, unable to proceed, cannot find out the type of storage for the "
                "FSId:[%s]",
                pfsId.c_str());
      return "Reply does not say whether file system " + pfsId + " is pool-based or volume-based";
    }
    stgType = STG_TYPE_VOLUME;
    stgId = Attr(volumes[0], "recommendedStorage");
    return std::string();
  }
};

}  // namespace

bool CelerraXMLGetPFSInfoResp::UnSerializeXML() {
  if (!m_sPFSName.empty() && m_sPFSName[0] == '/') m_sPFSName.erase(0, 1);
  ReplyDocument doc;
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to get PFSInfo for FS id:[%s]", m_sPFSId.c_str());
    CEL_ERROR(m_Event, "Unable to get PFS info for PFSId [%s]", m_sPFSId.c_str());
    return false;
  }
  PFSReading reading{doc.response, m_sPFSId, m_Event};
  reading.FileSystem(m_sPFSName, m_sMoverId, m_bMoverIsVdm);
  std::string why = reading.SaveVolume(m_sSavVolId);
  if (why.empty()) why = reading.Storage(m_eStgType, m_sStgId);
  if (why.empty()) return true;
  SetUnreadable(why);
  CEL_ERROR(m_Event, "Unable to get PFS info for PFSId [%s]", m_sPFSId.c_str());
  return false;
}

CelerraXMLGetFSInfoResp::CelerraXMLGetFSInfoResp() : CelerraXMLGetFSInfoResp(0) {}
CelerraXMLGetFSInfoResp::CelerraXMLGetFSInfoResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false), m_bSuccess(false) {
  m_eResponseType = 0;
  init();
}
CelerraXMLGetFSInfoResp::~CelerraXMLGetFSInfoResp() {}
const char* CelerraXMLGetFSInfoResp::GetMessageName() { return "CelerraXMLGetFSInfoResp"; }

bool CelerraXMLGetFSInfoResp::UnSerializeXML() {
  ReplyDocument doc;
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to Get File Systems info");
    CEL_ERROR(m_Event, "Unable to get info for all filesystems");
    return false;
  }
  // Both kinds in one walk of the (large) reply.
  std::vector<const XmlElement*> fileSystems, capacities;
  for (const XmlElement* e : Elements(doc.response, "FileSystem", "FileSystemCapacityInfo"))
    (HasTag(e, "FileSystem") ? fileSystems : capacities).push_back(e);
  CEL_DEBUG(m_Event, 2, "Found %lu file Systems", static_cast<unsigned long>(fileSystems.size()));

  // Capacity figures belong to the file system whose id they carry: an
  // unmounted file system has none, so pairing by position would hand every
  // later file system its neighbour's figures. A reply whose figures carry
  // no ids at all can only be read by position. (The capabilities elements
  // carry nothing this list needs.)
  // The ids are read where the reply holds them, which lives as long as doc.
  std::unordered_map<std::string_view, const XmlElement*> capacityOf;
  capacityOf.reserve(capacities.size());
  for (const XmlElement* c : capacities)
    if (HasAttr(c, "fileSystem")) capacityOf.emplace(AttrText(c, "fileSystem"), c);
  const bool byPosition = capacityOf.empty();

  m_vFileSystems.clear();
  m_vFileSystems.reserve(fileSystems.size());
  NumberReader numbers;
  for (size_t i = 0; i < fileSystems.size(); ++i) {
    const XmlElement* fsElement = fileSystems[i];
    CelerraFileSystem_t fs;
    fs.m_sFSId = Attr(fsElement, "fileSystem");
    fs.m_sName = Attr(fsElement, "name");
    const XmlElement* capacity = nullptr;
    if (byPosition) {
      if (i < capacities.size()) capacity = capacities[i];
    } else {
      auto found = capacityOf.find(fs.m_sFSId);
      if (found != capacityOf.end()) capacity = found->second;
    }
    if (capacity) fs.m_nVolumeSize = numbers.Int64("volumeSize", AttrText(capacity, "volumeSize"));
    if (HasAttr(fsElement, "storagePools")) {
      for (const std::string& pool : SplitList(Attr(fsElement, "storagePools"), ' '))
        fs.m_vStoragePools.push_back(numbers.Int32("storagePools", pool.c_str()));
    }
    if (const XmlElement* usage = OnlyElement(capacity, "ResourceUsage")) {
      fs.m_nSpaceTotal = numbers.Int64("spaceTotal", AttrText(usage, "spaceTotal"));
      fs.m_nSpaceUsed = numbers.Int64("spaceUsed", AttrText(usage, "spaceUsed"));
      fs.m_nFilesTotal = numbers.Int64("filesTotal", AttrText(usage, "filesTotal"));
      fs.m_nFilesUsed = numbers.Int64("filesUsed", AttrText(usage, "filesUsed"));
    }
    if (const XmlElement* hosts = OnlyElement(fsElement, "RwFileSystemHosts")) fs.m_sMoverId = Attr(hosts, "mover");
    fs.m_sType = Attr(fsElement, "type");
    m_vFileSystems.push_back(std::move(fs));
  }
  if (!NumbersFit(numbers)) {
    CEL_ERROR(m_Event, "Unable to get info for all filesystems");
    m_vFileSystems.clear();
    return false;
  }
  m_bSuccess = true;
  return true;
}

CelerraXMLCreateFSNameResp::CelerraXMLCreateFSNameResp() : CelerraXMLCreateFSNameResp(0) {}
CelerraXMLCreateFSNameResp::CelerraXMLCreateFSNameResp(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 0;
  init();
}
CelerraXMLCreateFSNameResp::~CelerraXMLCreateFSNameResp() {}
const char* CelerraXMLCreateFSNameResp::GetMessageName() { return "CelerraXMLCreateFSNameResp"; }

void CelerraXMLCreateFSNameResp::GetIfMoverVdm(bool& isVdm) {
  if (m_sMoverIdIsVdm == "true")
    isVdm = true;
  else if (m_sMoverIdIsVdm == "false")
    isVdm = false;
}

bool CelerraXMLCreateFSNameResp::UnSerializeXML() {
  ReplyDocument doc;
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to get FS Name.");
    return false;
  }
  // The envelope parse has found the single packet and its single response.
  const XmlElement* fs = FirstElement(doc.response, "FileSystem");
  m_sFSName = Attr(fs, "name");
  if (m_sFSName.empty()) {
    CEL_ERROR(m_Event, "Error in getting the File System Name");
    // The server said ok, but a reply without a name answers nothing.
    SetUnreadable(fs ? "Reply holds a file system without a name" : "Reply holds no file system");
    return false;
  }
  const XmlElement* hosts = FirstElement(fs, "RwFileSystemHosts");
  m_sMoverIdIsVdm = Attr(hosts, "moverIdIsVdm");
  m_sMoverId = Attr(hosts, "mover");
  if (m_sMoverIdIsVdm.empty() || m_sMoverId.empty()) {
    if (m_sMoverIdIsVdm.empty()) CEL_ERROR(m_Event, "Unable to determine if the mover is a VDM");
    if (m_sMoverId.empty()) CEL_ERROR(m_Event, "Error in getting the Mover ID");
    SetUnreadable("Reply does not name the mover of file system " + m_sFSName + " (it may not be mounted read/write)");
    return false;
  }
  return true;
}
