#pragma once

#include <QObject>
#include <memory>

namespace vantrel::test {

std::unique_ptr<QObject> MakeMainWindowTest();
std::unique_ptr<QObject> MakeChildWindowsTest();
std::unique_ptr<QObject> MakeKeyboardTest();
std::unique_ptr<QObject> MakeRunningImportTest();

}  // namespace vantrel::test
