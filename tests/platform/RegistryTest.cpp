// SPDX-License-Identifier: MIT
// TRegistry over the port map, read as the port list reads the registry.
#include "Exceptions.h"
#include "Registry.h"
#include "TempPortMap.h"

#include <gtest/gtest.h>

namespace {

const SerialPortDetector OneAdapter = [] {
    return std::vector<DetectedSerialPort>{{"/dev/ttyUSB0", "adapter"}};
};

TEST(TRegistry, OnlyTheSerialPortKeyUnderTheLocalMachineExists)
{
    TempPortMap temp;
    temp.Write("COM1=/dev/ttyS0\n");
    TRegistry registry(nullptr);
    EXPECT_FALSE(registry.OpenKeyReadOnly(SerialCommKey));  // root is the current user
    registry.RootKey = HKEY_LOCAL_MACHINE;
    for (const char* key :
         {"hardware\\devicemap", "software\\zendrak", "", "hardware\\devicemap\\serialcommx"}) {
        EXPECT_FALSE(registry.OpenKeyReadOnly(key)) << key;
        TStringList names;
        names.Add("stale");
        registry.GetValueNames(names);
        EXPECT_EQ(names.Count(), 0);
    }
    for (const char* key : {"hardware\\devicemap\\serialcomm", "\\HARDWARE\\DEVICEMAP\\SERIALCOMM"})
        EXPECT_TRUE(registry.OpenKeyReadOnly(key)) << key;
}

TEST(TRegistry, ValuesAreTheListedPortsInAscendingOrder)
{
    TempPortMap temp;
    temp.Write("COM7=/dev/ttyS7\nCOM1=/dev/ttyS0\n");
    TRegistry registry(OneAdapter);
    registry.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(registry.OpenKeyReadOnly(SerialCommKey));
    TStringList names;
    registry.GetValueNames(names);
    EXPECT_EQ(names.Strings,
              (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyS7"}));
    std::vector<std::string> texts;
    for (const auto& name : names.Strings)
        texts.push_back(registry.ReadString(name));
    EXPECT_EQ(texts, (std::vector<std::string>{"COM1", "COM2", "COM7"}));
    EXPECT_EQ(registry.ReadString("/dev/none"), "");
    registry.CloseKey();
    registry.GetValueNames(names);
    EXPECT_EQ(names.Count(), 0);
}

TEST(TRegistry, TwoNumbersForOneDeviceGetDistinctNames)
{
    TempPortMap temp;
    temp.Write("COM1=/dev/ttyS0\nCOM2=/dev/ttyS0\n");
    TRegistry registry(nullptr);
    registry.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(registry.OpenKeyReadOnly(SerialCommKey));
    TStringList names;
    registry.GetValueNames(names);
    ASSERT_EQ(names.Count(), 2);
    EXPECT_NE(names[0], names[1]);
    EXPECT_EQ(registry.ReadString(names[0]), "COM1");
    EXPECT_EQ(registry.ReadString(names[1]), "COM2");
}

TEST(TRegistry, AMalformedLineIsTheLastValueAndNotText)
{
    TempPortMap temp;
    temp.Write("COM4=/dev/ttyS4\nCOM2=/dev/ttyS2\nCOM0=/dev/ttyS9\nCOM1=/dev/ttyS1\n");
    TRegistry registry(OneAdapter);
    registry.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(registry.OpenKeyReadOnly(SerialCommKey));
    TStringList names;
    registry.GetValueNames(names);
    ASSERT_EQ(names.Count(), 4);
    EXPECT_EQ(registry.ReadString(names[0]), "COM1");  // the adapter takes the free number 1
    EXPECT_EQ(registry.ReadString(names[1]), "COM2");
    EXPECT_EQ(registry.ReadString(names[2]), "COM4");
    EXPECT_THROW(registry.ReadString(names[3]), ERegistryException);
}

TEST(TRegistry, TheListingIsTakenWhenTheKeyIsOpened)
{
    TempPortMap temp;
    temp.Write("COM1=/dev/ttyS0\n");
    TRegistry registry(nullptr);
    registry.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(registry.OpenKeyReadOnly(SerialCommKey));
    temp.Write("COM3=/dev/ttyS0\n");
    EXPECT_EQ(registry.ReadString("/dev/ttyS0"), "COM1");
    ASSERT_TRUE(registry.OpenKeyReadOnly(SerialCommKey));
    EXPECT_EQ(registry.ReadString("/dev/ttyS0"), "COM3");
}

TEST(TRegistry, NoFileAndNoDevicesIsAnEmptyKey)
{
    TempPortMap temp;
    TRegistry registry(nullptr);
    registry.RootKey = HKEY_LOCAL_MACHINE;
    EXPECT_TRUE(registry.OpenKeyReadOnly(SerialCommKey));
    TStringList names;
    registry.GetValueNames(names);
    EXPECT_EQ(names.Count(), 0);
}

}  // namespace
