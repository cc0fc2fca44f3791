// The engine's side of a benchmark: a connected session over a database
// file, made anew or reopened as a former run left it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "db/access/local/local_session.h"

namespace bench {

inline std::unique_ptr<kelvorin::TABSLocalSession> OpenSession(const std::string& path, bool create = true) {
  kelvorin::TABSSessionSettings settings;
  settings.file_name = path;
  if (create) {
    std::filesystem::remove(path);
    kelvorin::TABSLocalSession::CreateDatabase(settings);
  }
  auto session = std::make_unique<kelvorin::TABSLocalSession>(settings);
  session->Connect();
  return session;
}

}  // namespace bench
