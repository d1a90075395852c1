// The script and the record of the fake disc-writing libraries (tests/disc/fake/fake_discapi.cpp).
#pragma once
#include <cstdint>
#include <string>

#include "discapi/discapi.h"

struct FakeDiscScript {
  // Answers.
  int initResult = 0;
  int doneResult = 0;
  int driveCount = 2;  // -1: no list
  char driveNames[4][64] = {"Image Recorder", "Optical One", "", ""};
  int openFails = 0;
  int hasDisc = 1;
  std::uint32_t infoMask = DISC_MEDIA_CD;
  std::uint32_t freeBlocks = 100000;
  std::uint32_t trackCount = 0;
  int importCount = 0;
  char importNames[4][64] = {};
  DiscDateTime importDates[4] = {};
  int importError = 0;
  int trackFails = 0;
  int burnResult = 0;
  int askRequest = 0;  // a user-dialog request DiscBurn makes first
  int waitForAbort = 0;
  // What happened.
  std::string log;
  int alive = 0;  // blocks and devices not yet freed
  int leakedStrings = 0;
  int expectedVersion = 0;
  std::uint8_t openedEntry[360] = {};
  std::uint32_t burnMask = 0;
  DiscSettings settings{};
  char requestData[DISC_PATH_BUFFER] = {};
  int requestAnswer = -1;
  int idleAfterAbort = -1;
};

extern "C" FakeDiscScript* FakeDiscScriptOf();
