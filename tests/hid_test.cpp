// SPDX-License-Identifier: MIT
// The HID lid source against a scripted stand-in for hidapi, linked into this
// executable in place of the library.
#include "sensor/linux/LidSensorHID.h"

#include <doctest/doctest.h>

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

using namespace orvane;

namespace {

struct Listed {
    std::string path;
    unsigned short vendor, product, usagePage, usage;
};

// What the stand-in lists, opens and answers, and what it was asked.
struct FakeHidapi {
    std::vector<Listed> devices;
    bool opens = true;
    // Each answer: the bytes the kernel fills in after the report id, and the count returned.
    std::deque<std::pair<std::vector<unsigned char>, int>> reports;
    std::vector<std::string> opened;
    std::vector<std::size_t> askedLengths;
    int inits = 0;
    int exits = 0;
    int closes = 0;
} fake;

} // namespace

struct hid_device_ {
    int unused = 0;
};

namespace {
hid_device_ theDevice;
} // namespace

extern "C" {
int hid_init() {
    ++fake.inits;
    return 0;
}
int hid_exit() {
    ++fake.exits;
    return 0;
}
hid_device_info* hid_enumerate(unsigned short, unsigned short) {
    hid_device_info* head = nullptr;
    for (auto it = fake.devices.rbegin(); it != fake.devices.rend(); ++it) {
        auto* info = new hid_device_info{};
        info->path = strdup(it->path.c_str());
        info->vendor_id = it->vendor;
        info->product_id = it->product;
        info->usage_page = it->usagePage;
        info->usage = it->usage;
        info->next = head;
        head = info;
    }
    return head;
}
void hid_free_enumeration(hid_device_info* devices) {
    while (devices != nullptr) {
        hid_device_info* next = devices->next;
        free(devices->path);
        delete devices;
        devices = next;
    }
}
hid_device* hid_open_path(const char* path) {
    fake.opened.emplace_back(path);
    return fake.opens ? &theDevice : nullptr;
}
void hid_close(hid_device*) {
    ++fake.closes;
}
int hid_get_feature_report(hid_device*, unsigned char* data, size_t length) {
    fake.askedLengths.push_back(length);
    if (data[0] != 1 || fake.reports.empty()) {
        return -1;
    }
    const auto [payload, returned] = fake.reports.front();
    fake.reports.pop_front();
    std::copy_n(payload.begin(), std::min(payload.size(), length - 1), data + 1);
    return returned;
}
}

TEST_CASE("the best-ranked matching device is opened, and only that one") {
    fake = {};
    fake.devices = {{"/dev/hidraw0", 0x046d, 0xc52b, 0x01, 0x02},  // a mouse: no match
                    {"/dev/hidraw1", 0x1234, 0x0001, 0x20, 0x8A},  // usage only
                    {"/dev/hidraw2", 0x05AC, 0x0001, 0x20, 0x8A},  // the maker
                    {"/dev/hidraw3", 0x05AC, 0x8104, 0x20, 0x73},  // right ids, wrong usage
                    {"/dev/hidraw4", 0x1234, 0x8104, 0x20, 0x8A}}; // the product id only
    const auto ranked = LidSensorHID::ranked({{"a", 0x1, 0x8104, 0x20, 0x8A},
                                              {"b", 0x05AC, 0x8104, 0x20, 0x8A},
                                              {"c", 0x2, 0x8104, 0x20, 0x8A},
                                              {"d", 0x05AC, 0x1, 0x20, 0x8A}});
    std::vector<std::string> order;
    for (const auto& device : ranked) {
        order.push_back(device.path);
    }
    CHECK(order == std::vector<std::string>{"b", "d", "a", "c"}); // equals keep their order

    LidSensorHID sensor;
    REQUIRE(sensor.open());
    CHECK(fake.opened == std::vector<std::string>{"/dev/hidraw2"});

    SUBCASE("a device that fails to open is the end: no other is tried") {
        fake.opened.clear();
        fake.opens = false;
        CHECK_FALSE(sensor.open());
        CHECK(fake.opened == std::vector<std::string>{"/dev/hidraw2"});
        CHECK_FALSE(sensor.deniedNode()); // no such node to check the permission of
        CHECK(fake.inits == fake.exits);
    }
    SUBCASE("no matching device never opens anything") {
        fake.devices.resize(1);
        fake.opened.clear();
        CHECK_FALSE(sensor.open());
        CHECK(fake.opened.empty());
    }
}

TEST_CASE("feature report 1 is read into eight bytes, the report id in byte 0") {
    fake = {};
    fake.devices = {{"/dev/hidraw0", 0x05AC, 0x8104, 0x20, 0x8A}};
    LidSensorHID sensor;
    CHECK_FALSE(sensor.read()); // nothing open yet
    REQUIRE(sensor.open());
    fake.reports = {{{0xF8, 0x2A}, 3},   // 11000 centidegrees
                    {{110, 0, 9, 9}, 5}, // whole degrees, extra bytes kept
                    {{110}, 2},          // too short
                    {{}, -1},            // the read fails
                    {{0, 0}, 3}};        // lid closed
    const auto first = sensor.read();
    REQUIRE(first);
    CHECK(first->raw == "01f82a");
    CHECK(first->angle == 110.0);
    CHECK(fake.askedLengths.front() == 8);
    CHECK(sensor.read()->raw == "016e000909");
    CHECK_FALSE(sensor.read());
    CHECK_FALSE(sensor.read());
    const auto closed = sensor.read();
    REQUIRE(closed);
    CHECK(closed->zero);
    CHECK(closed->angle == 0.0);
    sensor.close();
    CHECK(fake.closes == 1);
    CHECK_FALSE(sensor.read());
}
