// PackageBuilder: the staged tree of a project's package and its packing by dpkg-deb.
#include "app/package/package_builder.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "app/package/package_texts.h"
#include "app/package/tool_run.h"
#include "app/run_folder.h"
#include "include/qvex_icon_render.h"

namespace {

// Always left out: the version control's folder and caches no installed app may write.
const char* const kAlwaysLeftOut[] = {".git", "__pycache__"};

std::string Errno(const std::string& what) { return what + ": " + strerror(errno); }

// Builds one package; each step returns false with `error_` set.
class Staging {
 public:
  Staging(const PackageInfo& info, const std::string& project, const std::string& out)
      : info_(info), project_(project), out_(out) {}
  ~Staging() {
    if (!root_.empty()) RunFolder::RemoveTree(root_);
  }

  PackageBuilder::Result Build(const std::string& shell_version);

 private:
  bool MakeDirs(const std::string& relative);
  bool Write(const std::string& relative, const std::string& bytes, mode_t mode);
  bool Gzipped(const std::string& relative, const std::string& text);
  bool CopyTree(const std::string& from, const std::string& relative, const std::string& to);
  bool Icons();
  bool Md5sums();
  void FilesUnder(const std::string& path, std::vector<std::string>* files) const;
  long InstalledKib(const std::string& path) const;
  void SetTimes(const std::string& path) const;

  const PackageInfo& info_;
  const std::string project_;
  const std::string out_;
  struct stat out_info_ {};
  std::string root_;
  time_t epoch_ = 0;
  bool has_elf_ = false;
  bool has_icon_ = false;
  std::string error_;
  std::vector<std::string> notes_;
};

std::string Date(time_t when, const char* format) {
  struct tm utc;
  gmtime_r(&when, &utc);
  char text[64];
  strftime(text, sizeof(text), format, &utc);
  return text;
}

bool Staging::MakeDirs(const std::string& relative) {
  std::string path = root_;
  size_t start = 0;
  while (start < relative.size()) {
    size_t slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    path += "/" + relative.substr(start, slash - start);
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
      error_ = Errno("cannot create " + path);
      return false;
    }
    chmod(path.c_str(), 0755);  // Whatever the umask.
    start = slash + 1;
  }
  return true;
}

bool Staging::Write(const std::string& relative, const std::string& bytes, mode_t mode) {
  const size_t slash = relative.rfind('/');
  if (slash != std::string::npos && !MakeDirs(relative.substr(0, slash))) return false;
  const std::string path = root_ + "/" + relative;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file || chmod(path.c_str(), mode) != 0) {
    error_ = "cannot write " + path;
    return false;
  }
  return true;
}

bool Staging::Gzipped(const std::string& relative, const std::string& text) {
  // -n: no name or time stamp in the header, so the bytes depend on the text alone.
  const ToolRun::Result gzip = ToolRun::Run({"gzip", "-9", "-n", "-c"}, text);
  if (gzip.status != 0) {
    error_ = "gzip failed: " + gzip.errors;
    return false;
  }
  return Write(relative, gzip.output, 0644);
}

bool Staging::CopyTree(const std::string& from, const std::string& relative,
                       const std::string& to) {
  DIR* dir = opendir(from.c_str());
  if (!dir) {
    error_ = Errno("cannot read " + from);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
      names.push_back(entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string source = from + "/" + name;
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    const std::string target = to + "/" + name;
    struct stat info;
    if (lstat(source.c_str(), &info) != 0) {
      error_ = Errno("cannot read " + source);
      return false;
    }
    if (info.st_dev == out_info_.st_dev && info.st_ino == out_info_.st_ino) continue;
    // This package's own earlier builds, when they are written into the project itself.
    const std::string own = info_.package_name() + "_";
    if (S_ISREG(info.st_mode) && name.size() > 4 && name.compare(name.size() - 4, 4, ".deb") == 0 &&
        (name.compare(0, own.size(), own) == 0 || name.compare(0, own.size() + 1, "." + own) == 0))
      continue;
    if (std::find(std::begin(kAlwaysLeftOut), std::end(kAlwaysLeftOut), name) !=
            std::end(kAlwaysLeftOut) ||
        PackageBuilder::Excluded(rel, info_.exclude())) {
      continue;
    }
    if (S_ISDIR(info.st_mode)) {
      if (mkdir(target.c_str(), 0755) != 0 || chmod(target.c_str(), 0755) != 0) {
        error_ = Errno("cannot create " + target);
        return false;
      }
      if (!CopyTree(source, rel, target)) return false;
    } else if (S_ISLNK(info.st_mode)) {
      std::string link(static_cast<size_t>(info.st_size) + 1, '\0');
      const ssize_t n = readlink(source.c_str(), &link[0], link.size());
      if (n < 0 || symlink(link.substr(0, static_cast<size_t>(n)).c_str(), target.c_str()) != 0) {
        error_ = Errno("cannot copy the link " + source);
        return false;
      }
    } else if (S_ISREG(info.st_mode)) {
      std::ifstream in(source, std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!in.good() && !in.eof()) {
        error_ = "cannot read " + source;
        return false;
      }
      if (bytes.compare(0, 4, "\x7f" "ELF") == 0) has_elf_ = true;
      // Read-only for the user who runs it: nothing of the project needs to be writable.
      if (!Write("usr/lib/" + info_.identity().id() + "/" + rel, bytes,
                 (info.st_mode & S_IXUSR) ? 0755 : 0644))
        return false;
    } else {
      notes_.push_back("left out " + rel + ": not a file, folder or link");
    }
  }
  return true;
}

bool Staging::Icons() {
  const std::string& path = info_.identity().icon_path();
  const std::string& id = info_.identity().id();
  if (path.empty()) {
    notes_.push_back("no \"icon\" in app.qvex: the package has no icon");
    return true;
  }
  const qvex_icons::IconSource source = qvex_icons::Probe(path);
  if (!source.ok) {
    error_ = "the icon " + path + " cannot be read: " + source.error;
    return false;
  }
  const int own = std::max(source.width, source.height);
  std::vector<int> enlarged;
  for (int size : PackageBuilder::kIconSizes) {
    std::string png;
    if (!qvex_icons::RenderSquarePng(path, size, &png, &error_)) {
      error_ = "the icon " + path + " cannot be drawn at " + std::to_string(size) + ": " + error_;
      return false;
    }
    if (!source.scalable && size > own) enlarged.push_back(size);
    const std::string n = std::to_string(size);
    if (!Write("usr/share/icons/hicolor/" + n + "x" + n + "/apps/" + id + ".png", png, 0644))
      return false;
  }
  if (!enlarged.empty()) {
    std::string sizes;
    for (int size : enlarged) sizes += (sizes.empty() ? "" : ", ") + std::to_string(size);
    notes_.push_back("the icon is " + std::to_string(source.width) + "x" +
                     std::to_string(source.height) + ": enlarged, and so blurred, at " + sizes +
                     " (give a 512x512 PNG or an SVG)");
  }
  if (source.scalable) {
    std::ifstream in(path, std::ios::binary);
    std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!Write("usr/share/icons/hicolor/scalable/apps/" + id + ".svg", svg, 0644)) return false;
  }
  has_icon_ = true;
  return true;
}

void Staging::FilesUnder(const std::string& path, std::vector<std::string>* files) const {
  DIR* dir = opendir(path.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    const std::string child = path + "/" + entry->d_name;
    struct stat info;
    if (lstat(child.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) FilesUnder(child, files);
    else if (S_ISREG(info.st_mode)) files->push_back(child);
  }
  closedir(dir);
}

// DEBIAN/md5sums, which `dpkg --verify` checks the installed files against.
bool Staging::Md5sums() {
  std::vector<std::string> files;
  FilesUnder(root_ + "/usr", &files);
  std::sort(files.begin(), files.end());
  // In batches, so a project of many files stays within the argument list's limit.
  std::string output;
  for (size_t start = 0; start < files.size(); start += 500) {
    std::vector<std::string> argv = {"md5sum", "--"};
    argv.insert(argv.end(), files.begin() + start,
                files.begin() + std::min(files.size(), start + 500));
    const ToolRun::Result sums = ToolRun::Run(argv);
    if (sums.status != 0) {
      error_ = "md5sum failed: " + sums.errors;
      return false;
    }
    output += sums.output;
  }
  // "<sum>  <root>/usr/..." becomes "<sum>  usr/...".
  std::string text = output, prefix = "  " + root_ + "/";
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 2))
    text.replace(at + 2, prefix.size() - 2, "");
  return Write("DEBIAN/md5sums", text, 0644);
}

// As dpkg-gencontrol counts it: each file's size in KiB rounded up, one for anything else.
long Staging::InstalledKib(const std::string& path) const {
  long kib = 0;
  DIR* dir = opendir(path.c_str());
  if (!dir) return 0;
  while (dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    if (path == root_ && strcmp(entry->d_name, "DEBIAN") == 0) continue;
    const std::string child = path + "/" + entry->d_name;
    struct stat info;
    if (lstat(child.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) kib += 1 + InstalledKib(child);
    else if (S_ISREG(info.st_mode)) kib += (info.st_size + 1023) / 1024;
    else kib += 1;
  }
  closedir(dir);
  return kib;
}

void Staging::SetTimes(const std::string& path) const {
  DIR* dir = opendir(path.c_str());
  if (dir) {
    while (dirent* entry = readdir(dir)) {
      if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
      const std::string child = path + "/" + entry->d_name;
      struct stat info;
      if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) SetTimes(child);
      else {
        const timespec times[2] = {{epoch_, 0}, {epoch_, 0}};
        utimensat(AT_FDCWD, child.c_str(), times, AT_SYMLINK_NOFOLLOW);
      }
    }
    closedir(dir);
  }
  // After its entries: writing them changed the folder's own time.
  const timespec times[2] = {{epoch_, 0}, {epoch_, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

PackageBuilder::Result Staging::Build(const std::string& shell_version) {
  PackageBuilder::Result result;
  auto failed = [&]() {
    result.error = error_;
    result.notes = notes_;
    return result;
  };
  const char* source_date = getenv("SOURCE_DATE_EPOCH");
  char* end = nullptr;
  epoch_ = source_date && *source_date ? static_cast<time_t>(strtoll(source_date, &end, 10))
                                       : time(nullptr);
  if (source_date && *source_date && (*end || epoch_ < 0)) {
    error_ = std::string("SOURCE_DATE_EPOCH is \"") + source_date + "\", not seconds since 1970";
    return failed();
  }
  if (stat(out_.c_str(), &out_info_) != 0) {
    error_ = Errno("cannot use the output folder " + out_);
    return failed();
  }
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvex-package-XXXXXX";
  if (!mkdtemp(&pattern[0])) {
    error_ = Errno("cannot create a folder in " + pattern.substr(0, pattern.rfind('/')));
    return failed();
  }
  root_ = pattern;
  chmod(root_.c_str(), 0755);

  const std::string& id = info_.identity().id();
  const std::string& name = info_.package_name();
  const std::string date = Date(epoch_, "%Y-%m-%d");
  if (!MakeDirs("usr/lib/" + id) || !CopyTree(project_, "", root_ + "/usr/lib/" + id) ||
      !Write("usr/bin/" + info_.command(), PackageTexts::Launcher(info_), 0755) || !Icons() ||
      !Write("usr/share/applications/" + id + ".desktop",
             PackageTexts::DesktopEntry(info_, has_icon_), 0644) ||
      !Write("usr/share/metainfo/" + id + ".metainfo.xml",
             PackageTexts::Metainfo(info_, date, has_icon_), 0644) ||
      !Write("usr/share/doc/" + name + "/copyright",
             PackageTexts::Copyright(info_, Date(epoch_, "%Y")), 0644) ||
      !Gzipped("usr/share/doc/" + name + "/" + PackageTexts::ChangelogName(info_),
               PackageTexts::Changelog(info_, Date(epoch_, "%a, %d %b %Y %H:%M:%S +0000"))) ||
      !Gzipped("usr/share/man/man1/" + info_.command() + ".1.gz",
               PackageTexts::ManualPage(info_, date))) {
    return failed();
  }

  std::string architecture = "all";
  if (has_elf_) {
    const ToolRun::Result arch = ToolRun::Run({"dpkg", "--print-architecture"});
    architecture = arch.output.substr(0, arch.output.find('\n'));
    if (arch.status != 0 || architecture.empty()) {
      error_ = "the project holds programs (ELF files), and dpkg cannot say this machine's "
               "architecture: " + arch.errors;
      return failed();
    }
    notes_.push_back("the project holds programs (ELF files): the package is for " +
                     architecture + " only");
  }
  if (!Md5sums()) return failed();
  if (!Write("DEBIAN/control",
             PackageTexts::Control(info_, architecture, InstalledKib(root_), shell_version), 0644))
    return failed();
  SetTimes(root_);

  // The file name carries no epoch, as Debian names its packages.
  std::string version = info_.identity().version();
  version.erase(0, version.find(':') == std::string::npos ? 0 : version.find(':') + 1);
  const std::string deb = out_ + "/" + name + "_" + version + "_" + architecture + ".deb";
  // Built beside its place and then renamed: a failed build never leaves half a package.
  const std::string partial = out_ + "/." + name + "_" + version + ".partial.deb";
  const ToolRun::Result packed =
      ToolRun::Run({"dpkg-deb", "--root-owner-group", "-Zxz", "--build", root_, partial});
  if (packed.status != 0 || rename(partial.c_str(), deb.c_str()) != 0) {
    unlink(partial.c_str());
    error_ = packed.status != 0 ? "dpkg-deb failed: " + packed.errors + packed.output
                                : Errno("cannot write " + deb);
    return failed();
  }
  result.ok = true;
  result.deb = deb;
  result.notes = notes_;
  return result;
}

}  // namespace

constexpr int PackageBuilder::kIconSizes[];

PackageBuilder::Result PackageBuilder::Build(const PackageInfo& info,
                                             const std::string& project_dir,
                                             const std::string& out_dir,
                                             const std::string& shell_version) {
  Staging staging(info, project_dir, out_dir);
  return staging.Build(shell_version);
}

bool PackageBuilder::Excluded(const std::string& relative, const std::vector<std::string>& globs) {
  for (std::string glob : globs) {
    while (glob.size() > 1 && glob.back() == '/') glob.pop_back();
    if (glob.empty()) continue;
    if (glob.find('/') == std::string::npos) {
      const size_t slash = relative.rfind('/');
      const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
      if (fnmatch(glob.c_str(), name.c_str(), 0) == 0) return true;
    } else {
      if (glob[0] == '/') glob.erase(0, 1);
      if (fnmatch(glob.c_str(), relative.c_str(), FNM_PATHNAME) == 0) return true;
    }
  }
  return false;
}
