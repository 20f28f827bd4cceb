// StorageOptions: in memory or persistent storage from app.qvex.
#include "app/storage_options.h"

#include <string>

#include "app/app_identity.h"
#include "app/project_file.h"

StorageOptions StorageOptions::From(const ProjectFile& file, const AppIdentity& identity) {
  StorageOptions options;
  const rapidjson::Value* storage = file.Member("storage");
  if (!storage) return options;
  const std::string value =
      storage->IsString() ? std::string(storage->GetString(), storage->GetStringLength()) : "";
  if (value == "memory") return options;
  if (value != "persistent") {
    file.Report(false, "storage",
                (storage->IsString() ? "\"" + value + "\" is neither \"memory\" nor \"persistent\""
                                     : std::string("is ") + ProjectFile::KindOf(*storage) +
                                           ", not a string") +
                    ": storage stays in memory",
                "write \"storage\": \"persistent\" to keep the pages' storage between runs");
    return options;
  }
  if (!identity.has_id()) {
    file.Report(true, "storage",
                "\"persistent\" needs the app's \"id\" (its data folder is named by it): "
                "storage stays in memory",
                "give the app an id, for example \"id\": \"dev.example.app\"");
    return options;
  }
  options.persistent_ = true;
  return options;
}
