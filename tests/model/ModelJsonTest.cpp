#include "model/ModelJson.h"
#include "model/ModelFile.h"

#include "common/TestKit.h"

#include <gtest/gtest.h>

using namespace tonedesk;

namespace {

TEST(ModelJson, WholeModel) {
    test::RecordingNotifier notifier;
    CModelFile model(notifier, "/m");
    ASSERT_EQ(model.ParseModelText("[PROPERTY]\nPROJECTOR_NAME=D\nAUTORECVELAPSE=2\n"
                                   "[SAVE]\nCOMMAND=GAMA,1\n"
                                   "[TAB]\nID=100\nRESOURCEFILE=a\"b\\.rcc\nCOMMAND=INPT\n"
                                   "COMMAND2=SHRP,-3\n"
                                   "[STATUS]\nID=1001\nCOMMAND2=POWR,1\nRELATE=5,6\nMODE=1\n"
                                   "RELOAD=VOLM\nDISABLE=POWR,0\n",
                                   "D"),
              ModelLookup::Found);
    EXPECT_EQ(ModelToJson(model),
              R"({"autoReceiveElapse":2000,"tabs":[{"id":100,"resourceFile":"a\"b\\.rcc",)"
              R"("modeControlId":1001,"statusControlId":1001,"leaveCommands":[["INPT",null]],)"
              R"("enterCommands":[["SHRP",-3]],"controls":[{"kind":"[STATUS]","id":1001,"max":1,)"
              R"("min":0,"freq":1,"default":0,"commandLists":[[],[["POWR",1]]],)"
              R"("relatedIds":[5,6],"mode":1,"elapse":0,"increment":1,"reload":["VOLM"],)"
              R"("disable":[["POWR",0]]}]}],"saveCommands":[["GAMA",1]],"saveCommands2":[]})");
}

TEST(ModelJson, EmptyModel) {
    test::RecordingNotifier notifier;
    CModelFile model(notifier, "/m");
    EXPECT_EQ(ModelToJson(model),
              R"({"autoReceiveElapse":180000,"tabs":[],"saveCommands":[],"saveCommands2":[]})");
}

TEST(ModelJson, StringsAreEscaped) {
    EXPECT_EQ(JsonString("plain"), "\"plain\"");
    EXPECT_EQ(JsonString("q\"b\\"), R"("q\"b\\")");
    EXPECT_EQ(JsonString(std::string("\t\x01\x7f\xe9\0", 5)),
              R"("\u0009\u0001\u007f\u00e9\u0000")");
}

} // namespace
