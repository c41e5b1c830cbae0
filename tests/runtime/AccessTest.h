// Shared by the access-object tests: English texts, a fresh folder, the message of a failure.
#pragma once

#include "runtime/Exception.h"
#include "runtime/TextLookup.h"

#include "TempDir.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

class AccessTest : public ::testing::Test {
protected:
    void SetUp() override { UseLanguage("C"); }
    static void UseLanguage(const char* lang)
    {
        setenv("LANG", lang, 1);
        InitTextLookup(TEST_LOCALE_DIR);
    }
    static std::string MessageOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const Exception& e) {
            return e.Message();
        }
        return "(nothing raised)";
    }

    TempDir dir;
};
