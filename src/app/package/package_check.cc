// PackageCheck: the package's findings for --check and --package.
#include "app/package/package_check.h"

#include "app/package/backend_writes.h"
#include "app/package/package_texts.h"
#include "app/project_file.h"

PackageInfo PackageCheck::Run(const ProjectFile& file, const AppIdentity& identity,
                              bool packaging, CheckReport* report) {
  PackageInfo info = PackageInfo::From(file, identity);
  const std::string command = BackendWrites::CommandOf(file);
  if (!command.empty()) {
    const std::string write = BackendWrites::Guess(command);
    const std::string where =
        identity.has_id() ? PackageTexts::ProjectDir(info) : std::string("/usr/lib/<id>");
    if (!write.empty()) {
      report->Warning("backend",
                      "its command writes into the project (" + write + "): installed, the "
                      "project lies in " + where + ", which its user cannot write",
                      "write into the folder named by $QVEX_DATADIR (looked at: " +
                          std::string(BackendWrites::kWhatIsChecked) + ")");
    } else {
      report->Ok("backend", std::string("its command seems to write nothing into the project "
                                        "(looked at: ") + BackendWrites::kWhatIsChecked + ")");
    }
  }

  const std::vector<std::string> missing = info.missing();
  if (missing.empty()) {
    report->Ok("package", "--package builds " + info.package_name() + " " +
                              identity.version() + ", started as " + info.command());
  } else {
    std::string keys;
    for (size_t i = 0; i < missing.size(); ++i)
      keys += (i == 0 ? "" : i + 1 == missing.size() ? " and " : ", ") + ("\"" + missing[i] + "\"");
    const std::string message = "--package needs " + keys + " in app.qvex";
    const std::string fix =
        "add them, for example \"id\": \"dev.example.notes\", \"name\": \"Notes\", "
        "\"version\": \"1.0.0\"";
    const bool means_to_ship = file.Member("id") || file.Member("version");
    if (packaging) report->Error("package", message, fix);
    else if (means_to_ship) report->Warning("package", message, fix);
    else report->Ok("package", "not set up: " + message);
  }

  return info;
}
