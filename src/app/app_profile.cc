// AppProfile: the project's desktop keys, from their owners.
#include "app/app_profile.h"

#include "app/project_file.h"
#include "app/single_instance.h"

AppProfile AppProfile::From(const ProjectFile& file, const AppFolders::Environment& env) {
  AppProfile profile;
  profile.identity_ = AppIdentity::From(file);
  profile.window_ = WindowOptions::From(file);
  profile.storage_ = StorageOptions::From(file, profile.identity_);
  profile.single_instance_ = SingleInstance::Wanted(file, profile.identity_);
  profile.folders_ = AppFolders::ForId(profile.identity_.id(), env);
  return profile;
}

const AppProfile& AppProfile::Current() {
  static const AppProfile profile = From(ProjectFile::Current());
  return profile;
}
