// Prints the options that the Windows entry parsed, one per line, for the black-box tests.
#include <cstdio>

#include "main/command_line/command_line.hpp"

int main() {
  const varlin::Args args = varlin::Args::parse();
  std::printf("verbose=%d\nhost=[%s]\nuser=%s%s%s\nmount_point=[%s]\nremote_root=[%s]\n",
              args.verbose ? 1 : 0, args.host.c_str(), args.user ? "[" : "",
              args.user ? args.user->c_str() : "(none)", args.user ? "]" : "", args.mount_point.c_str(),
              args.remote_root.c_str());
  if (args.mount_id)
    std::printf("mount_id=%u\n", static_cast<unsigned>(*args.mount_id));
  else
    std::printf("mount_id=(none)\n");
  std::printf("max_file_size=%llu\ncache_ttl_seconds=%u\n",
              static_cast<unsigned long long>(args.max_file_size),
              static_cast<unsigned>(args.cache_ttl_seconds));
  return 0;
}
