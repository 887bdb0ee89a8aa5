// The Linux desktop's view: the thumbnailer entry the desktop would use for
// each MIME type, the program it runs, the MIME database's name for a sample
// of each format, and a sample thumbnail.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "doctor.h"
#include "doctor_findings.h"
#include "program_output.h"
#include "thumbnail_job.h"
#include "thumbnailer_entry.h"

namespace vfkthumb {
namespace {

namespace fs = std::filesystem;

struct Format {
  const char* mimeType;
  const char* sample;  // installed beside the program, in ../share/vfkthumb
};
constexpr Format kFormats[] = {{"application/x-vfk", "sample.vfk"},
                               {"application/x-vfq", "sample.vfq"}};

std::string Environment(const char* name, const std::string& otherwise) {
  const char* value = std::getenv(name);
  return value && *value ? value : otherwise;
}

// Where the desktop looks for thumbnailers, in the order it looks:
// XDG_DATA_HOME, then XDG_DATA_DIRS.
std::vector<fs::path> DataDirs() {
  std::vector<fs::path> dirs = {
      Environment("XDG_DATA_HOME", Environment("HOME", "/nonexistent") + "/.local/share")};
  std::istringstream rest(Environment("XDG_DATA_DIRS", "/usr/local/share/:/usr/share/"));
  for (std::string dir; std::getline(rest, dir, ':');)
    if (!dir.empty()) dirs.emplace_back(dir);
  return dirs;
}

// Every readable entry, in the desktop's order: by folder, then by name.
std::vector<ThumbnailerEntry> Entries(const std::vector<fs::path>& dirs) {
  std::vector<ThumbnailerEntry> entries;
  for (const fs::path& dir : dirs) {
    std::error_code error;
    std::vector<fs::path> files;
    for (const auto& file : fs::directory_iterator(dir / "thumbnailers", error))
      if (file.path().extension() == ".thumbnailer") files.push_back(file.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files)
      if (auto entry = ReadThumbnailerEntry(file)) entries.push_back(*entry);
  }
  return entries;
}

fs::path ProgramDir() {
  std::error_code error;
  return fs::read_symlink("/proc/self/exe", error).parent_path();
}

void CheckEntry(Findings& findings, const char* mimeType,
                const std::vector<ThumbnailerEntry>& entries, const std::vector<fs::path>& dirs) {
  const auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
    return std::find(e.mimeTypes.begin(), e.mimeTypes.end(), mimeType) != e.mimeTypes.end();
  });
  if (entry == entries.end()) {
    std::string searched;
    for (const fs::path& dir : dirs) searched += " " + (dir / "thumbnailers").string();
    findings.Problem(std::string(mimeType) + ": no thumbnailer entry names it (searched" +
                     searched + "); install share/thumbnailers/vfkthumb.thumbnailer");
    return;
  }
  const std::string file = entry->file.string();
  const std::optional<std::string> program = FindProgram(entry->Program());
  if (!program) {
    findings.Problem(std::string(mimeType) + ": " + file + " runs \"" + entry->Program() +
                     "\", which is not an executable program in PATH");
    return;
  }
  const std::optional<std::string> version = ProgramOutput({*program, "--version"});
  if (fs::path(*program).filename() != "vfkthumb" || !version ||
      version->rfind("vfkthumb ", 0) != 0) {
    findings.Problem(std::string(mimeType) + ": " + file + " belongs to another thumbnailer (" +
                     entry->exec + "), which the desktop asks instead of vfkthumb");
    return;
  }
  if (program->rfind("/usr/", 0) != 0) {
    findings.Problem(std::string(mimeType) + ": " + file + " runs " + *program +
                     ", outside /usr: the desktop's sandbox cannot see it");
    return;
  }
  std::string name = *version;
  if (!name.empty() && name.back() == '\n') name.pop_back();
  findings.Ok(std::string(mimeType) + ": " + file + " runs " + *program + " (" + name + ")");
}

void CheckSample(Findings& findings, const Format& format) {
  const fs::path sample =
      (ProgramDir() / ".." / "share" / "vfkthumb" / format.sample).lexically_normal();
  const std::string name = sample.string();
  std::error_code error;
  if (!fs::exists(sample, error)) {
    findings.Problem("no sample document at " + name + ": vfkthumb is not installed whole");
    return;
  }
  if (const auto answer = ProgramOutput({"xdg-mime", "query", "filetype", name}); !answer) {
    findings.Unknown("the MIME type of " + name + ": xdg-mime (xdg-utils) did not answer");
  } else if (const std::string type = answer->substr(0, answer->find('\n'));
             type != format.mimeType) {
    findings.Problem("the MIME database calls " + name + " " + type + ", not " + format.mimeType +
                     ": install share/mime/packages/vfkthumb.xml and run update-mime-database");
  } else {
    findings.Ok("the MIME database calls " + name + " " + format.mimeType);
  }
  // Written into a folder of its own that only this user can enter: a
  // predictable name in a shared folder could be taken or planted first.
  const fs::path temporary = fs::temp_directory_path(error);
  std::string folder = (temporary / "vfkthumb-doctor-XXXXXX").string();
  if (error || !mkdtemp(folder.data())) {
    findings.Problem("no thumbnail of " + name + ": cannot make a folder in " + temporary.string() +
                     ": " + (error ? error.message() : std::generic_category().message(errno)));
    return;
  }
  const JobResult result =
      ThumbnailFile(sample, fs::path(folder) / "sample.png", PictureFormat::kPng, 128);
  fs::remove_all(folder, error);
  if (result.outcome == Outcome::kWritten)
    findings.Ok("a 128 x 128 thumbnail of " + name + " was made");
  else
    findings.Problem("no thumbnail of " + name + ": " + result.message);
}

}  // namespace

int RunDoctor(std::ostream& out) {
  Findings findings(out);
  const std::vector<fs::path> dirs = DataDirs();
  const std::vector<ThumbnailerEntry> entries = Entries(dirs);
  for (const Format& format : kFormats) CheckEntry(findings, format.mimeType, entries, dirs);
  for (const Format& format : kFormats) CheckSample(findings, format);
  return findings.ExitStatus();
}

}  // namespace vfkthumb
