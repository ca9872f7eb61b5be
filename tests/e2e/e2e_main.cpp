// The portable end-to-end tests' entry: the system's driver environment
// for the whole run, then the tests.
#include <gtest/gtest.h>

#include "environment.h"

namespace {

class GlobalDriver : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string problem;
        driver_ = e2e::start_driver_environment(&problem);
        ASSERT_TRUE(driver_) << "no token driver: " << problem;
    }
    void TearDown() override { driver_.reset(); }

private:
    std::unique_ptr<e2e::DriverEnvironment> driver_;
};

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlobalDriver);
    return RUN_ALL_TESTS();
}
