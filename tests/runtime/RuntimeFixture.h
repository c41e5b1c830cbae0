// What the runtime's tests share: English texts unless a test asks for another
// language, a fresh folder, and a failure's message.
#pragma once

#include "runtime/Exception.h"
#include "runtime/TextLookup.h"
#include "Platform.h"
#include "TempDir.h"
#include <functional>
#include <gtest/gtest.h>

class Runtime : public ::testing::Test {
protected:
    void SetUp() override { UseLanguage("C"); }
    static void UseLanguage(const char* lang)
    {
        SetEnvironment("LANG", lang);
        InitTextLookup(TEST_LOCALE_DIR);
    }
    static std::string MessageOf(const std::function<void()>& action)
    {
        try { action(); } catch (const Exception& e) { return e.Message(); }
        return "(nothing raised)";
    }

    TempDir dir;
};
