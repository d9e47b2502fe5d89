// SPDX-License-Identifier: MIT
#include "app/linux/OrvaneApp.h"

int main(int argc, char** argv) {
    return orvane::OrvaneApp::main(argc, argv);
}
