// The standard threading headers come first here. With MinGW's posix thread model they define
// _POSIX_THREADS before Asio reads its configuration.
#include <memory>
#include <thread>

#include <asio/detail/thread.hpp>

#include <typeinfo>

namespace morva {

const std::type_info& asio_thread_type_after_std_headers() {
  return typeid(asio::detail::thread);
}

}  // namespace morva
