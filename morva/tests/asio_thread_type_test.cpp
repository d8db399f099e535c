// Asio comes first here, before any standard header could define _POSIX_THREADS.
#include <asio/detail/thread.hpp>

#include <gtest/gtest.h>

#include <typeinfo>

namespace morva {

const std::type_info& asio_thread_type_after_std_headers();

namespace {

// Files that disagree on Asio's thread type link two layouts of the same io_context code: a thread
// started as one kind is joined as the other.
TEST(AsioConfiguration, ThreadTypeDoesNotDependOnIncludeOrder) {
  EXPECT_STREQ(typeid(asio::detail::thread).name(), asio_thread_type_after_std_headers().name());
}

}  // namespace
}  // namespace morva
