// Reads the JSON device format (docs/sim-devices.md) into device descriptions. Every fault
// becomes a LoadError naming the device index and the field; nothing is trusted.
#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "field_error.h"
#include "qzplatform/ground.h"
#include "qzplatform/sim/recording.h"

namespace qzplatform::sim {
namespace {

using Json = nlohmann::json;

// A fault in one field of the device being read.
struct FieldFault {
  std::string field;
  std::string what;
};

[[noreturn]] void Fault(const std::string& field, const std::string& what) {
  throw FieldFault{field, what};
}

std::string Join(const std::string& parent, const std::string& key) {
  return parent.empty() ? key : parent + "." + key;
}

void CheckKeys(const Json& object, const std::string& field,
               std::initializer_list<std::string_view> allowed) {
  if (!object.is_object()) Fault(field, "expected an object");
  for (const auto& [key, value] : object.items()) {
    if (std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
      std::string list;
      for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
      Fault(Join(field, key), "unknown field (expected one of: " + list + ")");
    }
  }
}

unsigned long long ReadUnsigned(const Json& j, const std::string& field, unsigned long long max) {
  unsigned long long value = 0;
  if (j.is_number_unsigned()) {
    value = j.get<unsigned long long>();
  } else if (j.is_string()) {
    // Hexadecimal in text, as the IDs are usually written: "0x046D".
    const std::string& s = j.get_ref<const std::string&>();
    if (s.size() < 3 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X') || s.size() > 18)
      Fault(field, "expected a number or a hexadecimal text such as \"0x1A2B\", got \"" + s + "\"");
    const auto parsed = ParseUnsigned(std::string_view(s).substr(2), 16);
    if (!parsed) Fault(field, "\"" + s + "\" is not a hexadecimal number");
    value = *parsed;
  } else {
    Fault(field, j.is_number() ? "expected a whole number of 0 or more" : "expected a number");
  }
  if (value > max)
    Fault(field, std::to_string(value) + " is above the largest value " + std::to_string(max));
  return value;
}

bool ReadBool(const Json& j, const std::string& field) {
  if (!j.is_boolean()) Fault(field, "expected true or false");
  return j.get<bool>();
}

const std::string& ReadUtf8(const Json& j, const std::string& field) {
  if (!j.is_string()) Fault(field, "expected a text");
  return j.get_ref<const std::string&>();
}

std::u16string ReadText(const Json& j, const std::string& field) {
  return FromUtf8(ReadUtf8(j, field));
}

GUID ReadGuid(const Json& j, const std::string& field) {
  const std::string& s = ReadUtf8(j, field);
  auto guid = ParseGuid(s);
  if (!guid)
    Fault(field, "\"" + s + "\" is not a GUID such as {745A17A0-74D3-11D0-B6FE-00A0C90F57DA}");
  return *guid;
}

// Bytes as pairs of hex digits; blanks and commas may separate them. A long value
// may be split over an array of texts.
std::vector<std::uint8_t> ReadHex(const Json& j, const std::string& field) {
  std::string text;
  if (j.is_string()) {
    text = j.get<std::string>();
  } else if (j.is_array()) {
    for (std::size_t i = 0; i < j.size(); ++i)
      text += ReadUtf8(j[i], field + "[" + std::to_string(i) + "]") + " ";
  } else {
    Fault(field, "expected hexadecimal bytes as a text such as \"05 01 09 02\"");
  }
  std::vector<std::uint8_t> bytes;
  int pending = -1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const int digit = HexDigitValue(c);
    if (digit >= 0) {
      if (pending < 0) {
        pending = digit;
      } else {
        bytes.push_back(static_cast<std::uint8_t>(pending * 16 + digit));
        pending = -1;
      }
      continue;
    }
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != ',')
      Fault(field, "character " + std::to_string(i) + " ('" + std::string(1, c) +
                       "') is not a hexadecimal digit");
    if (pending >= 0)
      Fault(field, "byte ending at character " + std::to_string(i) +
                       " has one hexadecimal digit; write two per byte");
  }
  if (pending >= 0) Fault(field, "the last byte has one hexadecimal digit; write two per byte");
  return bytes;
}

AccessModes ReadAccess(const Json& j, const std::string& field) {
  if (!j.is_array()) Fault(field, "expected a list such as [\"read\", \"write\"]");
  AccessModes modes;
  for (std::size_t i = 0; i < j.size(); ++i) {
    const std::string item = field + "[" + std::to_string(i) + "]";
    const std::string& s = ReadUtf8(j[i], item);
    if (s == "read")
      modes.read = true;
    else if (s == "write")
      modes.write = true;
    else
      Fault(item, "unknown access mode \"" + s + "\" (expected \"read\" or \"write\")");
  }
  return modes;
}

void ReadStrings(const Json& j, DeviceDescription& desc) {
  CheckKeys(j, "strings", {"product", "manufacturer", "serial", "indexed"});
  if (j.contains("product")) desc.product = ReadText(j["product"], "strings.product");
  if (j.contains("manufacturer"))
    desc.manufacturer = ReadText(j["manufacturer"], "strings.manufacturer");
  if (j.contains("serial")) desc.serial = ReadText(j["serial"], "strings.serial");
  if (!j.contains("indexed")) return;
  const Json& indexed = j["indexed"];
  if (!indexed.is_object())
    Fault("strings.indexed", "expected an object such as {\"4\": \"text\"}");
  for (const auto& [key, value] : indexed.items()) {
    const std::string field = "strings.indexed." + key;
    const auto index = key.size() <= 3 ? ParseUnsigned(key, 10, 255) : std::nullopt;
    if (!index || *index < 1) Fault(field, "string indexes are numbers from 1 to 255");
    desc.indexed_strings[static_cast<ULONG>(*index)] = ReadText(value, field);
  }
}

void ReadEnumeration(const Json& j, Enumeration& e) {
  CheckKeys(j, "enumeration",
            {"instance_id", "class_guid", "description", "manufacturer", "service", "driver",
             "port_name"});
  if (j.contains("instance_id"))
    e.instance_id = ReadText(j["instance_id"], "enumeration.instance_id");
  if (j.contains("class_guid")) e.class_guid = ReadGuid(j["class_guid"], "enumeration.class_guid");
  if (j.contains("description"))
    e.description = ReadText(j["description"], "enumeration.description");
  if (j.contains("manufacturer"))
    e.manufacturer = ReadText(j["manufacturer"], "enumeration.manufacturer");
  if (j.contains("service")) e.service = ReadText(j["service"], "enumeration.service");
  if (j.contains("driver")) e.driver = ReadText(j["driver"], "enumeration.driver");
  if (j.contains("port_name")) e.port_name = ReadText(j["port_name"], "enumeration.port_name");
}

CollectionDescription ReadCollection(const Json& j, const std::string& field) {
  CheckKeys(j, field, {"class_guid", "description", "manufacturer", "service", "driver", "refuse"});
  CollectionDescription c;
  if (j.contains("class_guid")) c.class_guid = ReadGuid(j["class_guid"], field + ".class_guid");
  if (j.contains("description")) c.description = ReadText(j["description"], field + ".description");
  if (j.contains("manufacturer"))
    c.manufacturer = ReadText(j["manufacturer"], field + ".manufacturer");
  if (j.contains("service")) c.service = ReadText(j["service"], field + ".service");
  if (j.contains("driver")) c.driver = ReadText(j["driver"], field + ".driver");
  if (j.contains("refuse")) c.refuse = ReadAccess(j["refuse"], field + ".refuse");
  return c;
}

void ReadBehaviour(const Json& j, Behaviour& b) {
  CheckKeys(j, "behaviour",
            {"refuse", "exclusive", "no_preparsed_data", "fail_caps", "unplugged", "echo"});
  if (j.contains("refuse")) b.refuse = ReadAccess(j["refuse"], "behaviour.refuse");
  const std::pair<const char*, bool*> flags[] = {{"exclusive", &b.exclusive},
                                                 {"no_preparsed_data", &b.no_preparsed_data},
                                                 {"fail_caps", &b.fail_caps},
                                                 {"unplugged", &b.unplugged},
                                                 {"echo", &b.echo}};
  for (const auto& [key, flag] : flags)
    if (j.contains(key)) *flag = ReadBool(j[key], std::string("behaviour.") + key);
}

void ReadScript(const Json& j, InputScript& s) {
  CheckKeys(j, "input_script", {"period_ms", "repeat", "reports"});
  if (j.contains("period_ms"))
    s.period =
        std::chrono::milliseconds(ReadUnsigned(j["period_ms"], "input_script.period_ms", 3600000));
  if (j.contains("repeat")) s.repeat = ReadBool(j["repeat"], "input_script.repeat");
  if (!j.contains("reports")) Fault("input_script.reports", "is missing");
  const Json& reports = j["reports"];
  if (!reports.is_array()) Fault("input_script.reports", "expected a list of reports");
  for (std::size_t i = 0; i < reports.size(); ++i)
    s.reports.push_back(ReadHex(reports[i], "input_script.reports[" + std::to_string(i) + "]"));
}

// A device replaying a recording: the recording gives identity, descriptor and input;
// the name and behaviour may be set beside it.
DeviceDescription ReadRecordedDevice(const Json& j, const std::filesystem::path& folder) {
  CheckKeys(j, "", {"name", "recording", "recording_device", "behaviour"});
  const std::filesystem::path file = folder / std::filesystem::u8path(ReadUtf8(j["recording"], "recording"));
  std::vector<RecordedDevice> recorded;
  try {
    recorded = LoadRecording(file);
  } catch (const LoadError& e) {
    Fault("recording", e.what());
  }
  const auto index = j.contains("recording_device")
                         ? ReadUnsigned(j["recording_device"], "recording_device", recorded.size() - 1)
                         : 0;
  DeviceDescription desc = DeviceFromRecording(recorded[index]);
  if (j.contains("name")) desc.name = ReadUtf8(j["name"], "name");
  if (j.contains("behaviour")) ReadBehaviour(j["behaviour"], desc.behaviour);
  return desc;
}

DeviceDescription ReadDevice(const Json& j, const std::filesystem::path& folder) {
  if (j.contains("recording")) return ReadRecordedDevice(j, folder);
  CheckKeys(j, "",
            {"name", "vendor_id", "product_id", "version", "strings", "report_descriptor",
             "enumeration", "collections", "behaviour", "input_script", "feature_reports"});
  DeviceDescription desc;
  if (j.contains("name")) desc.name = ReadUtf8(j["name"], "name");
  for (const char* key : {"vendor_id", "product_id", "report_descriptor"})
    if (!j.contains(key)) Fault(key, "is missing");
  desc.vendor_id = static_cast<USHORT>(ReadUnsigned(j["vendor_id"], "vendor_id", 0xFFFF));
  desc.product_id = static_cast<USHORT>(ReadUnsigned(j["product_id"], "product_id", 0xFFFF));
  if (j.contains("version"))
    desc.version = static_cast<USHORT>(ReadUnsigned(j["version"], "version", 0xFFFF));
  if (j.contains("strings")) ReadStrings(j["strings"], desc);
  desc.report_descriptor = ReadHex(j["report_descriptor"], "report_descriptor");
  if (j.contains("enumeration")) ReadEnumeration(j["enumeration"], desc.enumeration);
  if (j.contains("collections")) {
    const Json& list = j["collections"];
    if (!list.is_array()) Fault("collections", "expected a list with one object per collection");
    for (std::size_t i = 0; i < list.size(); ++i)
      desc.collections.push_back(ReadCollection(list[i], "collections[" + std::to_string(i) + "]"));
  }
  if (j.contains("behaviour")) ReadBehaviour(j["behaviour"], desc.behaviour);
  if (j.contains("input_script")) ReadScript(j["input_script"], desc.input_script);
  if (j.contains("feature_reports")) {
    const Json& list = j["feature_reports"];
    if (!list.is_array()) Fault("feature_reports", "expected a list of reports");
    for (std::size_t i = 0; i < list.size(); ++i)
      desc.feature_reports.push_back(
          ReadHex(list[i], "feature_reports[" + std::to_string(i) + "]"));
  }
  return desc;
}

// Follows the JSON parser through the document, so a value it cannot take (a number out
// of range) is reported with its device and field, and notes the first key that appears
// twice in one object (JSON would keep only the last, silently).
class DocumentWalk {
 public:
  bool Step(Json::parse_event_t event, const Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start: Open(false); break;
      case Json::parse_event_t::array_start: Open(true); break;
      case Json::parse_event_t::key: Key(parsed.get<std::string>()); break;
      case Json::parse_event_t::value:
        NoteName(parsed);
        ElementDone();
        break;
      case Json::parse_event_t::object_end:
      case Json::parse_event_t::array_end:
        path_.pop_back();
        keys_.pop_back();
        ElementDone();
        break;
    }
    return true;
  }

  // The value being read when parsing stopped.
  [[noreturn]] void ThrowHere(const std::string& what) const { Throw(path_, what); }
  void ThrowOnDuplicate() const {
    if (duplicate_) Throw(*duplicate_, "appears twice; each field may be given once");
  }

 private:
  // Where in one object or array the parser is.
  struct Place {
    bool array = false;
    std::size_t index = 0;  // array: the element being read
    std::string key;        // object: the member being read
  };
  using Path = std::vector<Place>;

  void Open(bool array) {
    path_.push_back(Place{array, 0, {}});
    keys_.emplace_back();
  }

  void Key(const std::string& key) {
    path_.back().key = key;
    if (!keys_.back().insert(key).second && !duplicate_) duplicate_ = path_;
  }

  void ElementDone() {
    if (!path_.empty() && path_.back().array) ++path_.back().index;
  }

  // The path runs through "devices" and one of its elements.
  static bool InDevice(const Path& path) {
    return path.size() >= 2 && !path[0].array && path[0].key == "devices" && path[1].array;
  }

  void NoteName(const Json& parsed) {
    if (path_.size() == 3 && InDevice(path_) && !path_[2].array && path_[2].key == "name" &&
        parsed.is_string())
      names_.emplace(path_[1].index, parsed.get<std::string>());
  }

  // The field as the loader names it: members joined by ".", elements as "[n]".
  [[noreturn]] void Throw(const Path& path, const std::string& what) const {
    const bool device = InDevice(path);
    std::string field;
    for (std::size_t i = device ? 2 : 0; i < path.size(); ++i) {
      if (path[i].array)
        field += "[" + std::to_string(path[i].index) + "]";
      else if (!path[i].key.empty())
        field += (field.empty() ? "" : ".") + path[i].key;
    }
    if (device) {
      const auto name = names_.find(path[1].index);
      ThrowFieldError(path[1].index, name == names_.end() ? "" : name->second, field, what);
    }
    throw LoadError(field.empty() ? what : "field \"" + field + "\": " + what);
  }

  Path path_;
  std::vector<std::set<std::string>> keys_;  // the keys met so far, per level of path_
  std::optional<Path> duplicate_;
  std::map<std::size_t, std::string> names_;
};

// The text of a JSON error without the library's "[json.exception...] " tag.
std::string JsonMessage(const Json::exception& e) {
  const std::string what = e.what();
  const std::size_t tag = what.find("] ");
  return tag == std::string::npos ? what : what.substr(tag + 2);
}

}  // namespace

std::vector<DeviceDescription> ParseDeviceList(std::string_view json_text,
                                               const std::filesystem::path& folder) {
  Json document;
  DocumentWalk walk;
  try {
    // Comments are allowed: device files are written by hand.
    document = Json::parse(
        json_text.begin(), json_text.end(),
        [&walk](int, Json::parse_event_t event, Json& parsed) { return walk.Step(event, parsed); },
        true, true);
  } catch (const Json::parse_error& e) {
    throw LoadError("not valid JSON at byte " + std::to_string(e.byte) + ": " + e.what());
  } catch (const Json::exception& e) {
    walk.ThrowHere(JsonMessage(e));
  }
  walk.ThrowOnDuplicate();
  if (!document.is_object() || !document.contains("devices"))
    throw LoadError("expected an object with a \"devices\" list");
  for (const auto& [key, value] : document.items())
    if (key != "devices") throw LoadError("unknown top-level field \"" + key + "\"");
  const Json& list = document["devices"];
  if (!list.is_array()) throw LoadError("\"devices\" must be a list of device objects");

  std::vector<DeviceDescription> descriptions;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Json& j = list[i];
    std::string name;
    if (j.is_object() && j.contains("name") && j["name"].is_string())
      name = j["name"].get<std::string>();
    try {
      if (!j.is_object()) Fault("", "expected an object");
      descriptions.push_back(ReadDevice(j, folder));
    } catch (const FieldFault& f) {
      ThrowFieldError(i, name, f.field, f.what);
    } catch (const Json::exception& e) {
      // A shape the reader did not foresee still becomes a message, not a crash.
      ThrowFieldError(i, name, "", e.what());
    }
  }
  return descriptions;
}

}  // namespace qzplatform::sim
