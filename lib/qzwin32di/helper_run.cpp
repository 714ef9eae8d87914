// Running the device helper: written from the program's resources into a folder made
// new for the run, held open against changes while it runs, removed afterwards.
#include <random>

#include "qzclasses/format.h"
#include "qzsysutils/qzsysutils.h"
#include "qzwin32/qzwin32.h"
#include "qzwin32di/device_state.h"

namespace qz {
namespace {

constexpr const char16_t* kResourceName = u"qzx64stub";
constexpr const char16_t* kFileName = u"qzX64stub.exe";
constexpr int kFolderAttempts = 8;

// The helper's folder and file for one run. Nobody else can have put anything in a
// folder that CreateDirectoryW has just made under a fresh random name (made private
// to the user off Windows; below the user's own temporary folder on Windows), and the
// file is created there exclusively. The destructor removes both on every path.
class HelperFiles {
 public:
  HelperFiles() = default;
  HelperFiles(const HelperFiles&) = delete;
  HelperFiles& operator=(const HelperFiles&) = delete;
  ~HelperFiles() {
    if (hold_ != INVALID_HANDLE_VALUE) CloseHandle(hold_);
    if (written_) {
      // Windows may keep a program's image mapped for a moment after it has ended.
      Sleep(0);
      for (int i = 0; i < 20 && !DeleteFileW(qzplatform::AsWide(file_)) &&
                      GetLastError() != ERROR_FILE_NOT_FOUND;
           ++i)
        Sleep(50);
    }
    if (!folder_.empty()) RemoveDirectoryW(qzplatform::AsWide(folder_));
  }

  // Makes the folder in `temp`, writes the helper and holds it open for reading only.
  bool Prepare(const Text& temp) {
    const char16_t last = temp.empty() ? u'\\' : temp.back();
    const Text separator = last == u'/' || last == u'\\' ? Text() : Text(u"\\");
    const char16_t inner = last == u'/' ? u'/' : u'\\';
    std::random_device random;
    for (int attempt = 0; attempt < kFolderAttempts && folder_.empty(); ++attempt) {
      const Text folder = temp + separator +
                          Format(u"qzX64stub-%.8x%.8x", {random(), random()});
      if (CreateDirectoryW(qzplatform::AsWide(folder), nullptr))
        folder_ = folder;
      else if (GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    }
    if (folder_.empty()) return false;
    file_ = folder_ + inner + kFileName;
    written_ = SaveResourceToFile(kResourceName, file_, CREATE_NEW);
    if (!written_) return false;
    // While this handle is open nobody may write, replace or delete the file; running
    // it only reads it.
    hold_ = CreateFileW(qzplatform::AsWide(file_), GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    return hold_ != INVALID_HANDLE_VALUE;
  }

  const Text& folder() const { return folder_; }
  const Text& file() const { return file_; }

 private:
  Text folder_;
  Text file_;
  bool written_ = false;
  HANDLE hold_ = INVALID_HANDLE_VALUE;
};

}  // namespace

bool DiRunX64Stub(const Text& parameters, DWORD waitLimit) {
  if (parameters.find(u'\0') != Text::npos) return false;  // the command line would end there
  WCHAR buffer[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length > MAX_PATH) return false;
  const Text temp(qzplatform::AsChar16(buffer), length);

  HelperFiles files;
  if (!files.Prepare(temp)) return false;
  // The path is quoted: a folder with a blank in it would otherwise start another
  // program, or shift every parameter by one.
  Text path;
  if (!QuoteArgument(files.file(), &path)) return false;
  return RunProcess(path + u" " + parameters, files.folder(), true, true, waitLimit) &&
         GetLastError() == ERROR_SUCCESS;
}

}  // namespace qz
