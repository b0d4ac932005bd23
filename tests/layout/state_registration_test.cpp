#include <gtest/gtest.h>

#include <string>

#include "lib/layout/state_registration.h"

namespace {

struct Case {
  const char* uf;
  const char* ie;
  bool valid;
  const char* why;
};

// Valid rows are the states' published examples where they exist, then numbers
// that other public validators list as valid; the invalid ones change one thing
// of a valid number, and the wrong prefixes carry check digits that would
// otherwise pass.
const Case kCases[] = {
    {"AC", "0100482300112", true, "published example"},
    {"AC", "0172030964575", true, "second number"},
    {"AC", "0100482300113", false, "wrong second check digit"},
    {"AC", "0700482300153", false, "prefix other than 01"},
    {"AL", "240000048", true, "published example"},
    {"AL", "248368818", true, "micro-company"},
    {"AL", "240000047", false, "wrong check digit"},
    {"AL", "250000040", false, "prefix other than 24"},
    {"AL", "241000009", false, "company kind 1 does not exist"},
    {"AP", "030123459", true, "published example, first range"},
    {"AP", "030170071", true, "second range: 11 - r = 11 gives 1"},
    {"AP", "030190231", true, "third range"},
    {"AP", "030170070", false, "second range read as the first"},
    {"AP", "040190234", false, "prefix other than 03"},
    {"AM", "806089008", true, "first number"},
    {"AM", "438873483", true, "second number"},
    {"AM", "806089007", false, "wrong check digit"},
    {"AM", "000000000", false, "a sum of 0 leaves no check digit"},
    {"BA", "12345663", true, "eight digits, modulo 10"},
    {"BA", "61234557", true, "eight digits, modulo 11"},
    {"BA", "123456748", true, "nine digits, modulo 10"},
    {"BA", "162345651", true, "nine digits, second digit 6: modulo 11"},
    {"BA", "612345678", false, "nine digits: the second digit, 1, asks for modulo 10"},
    {"BA", "12345673", false, "wrong first check digit"},
    {"BA", "1234566", false, "seven digits"},
    {"CE", "060000015", true, "published example"},
    {"CE", "301304653", true, "second number"},
    {"CE", "060000016", false, "wrong check digit"},
    {"DF", "0730000100109", true, "published example"},
    {"DF", "0771328900102", true, "second number"},
    {"DF", "0730000100119", false, "wrong first check digit"},
    {"DF", "0130000100160", false, "prefix other than 07"},
    {"ES", "301188327", true, "first number"},
    {"ES", "999999990", true, "second number"},
    {"ES", "301188328", false, "wrong check digit"},
    {"GO", "109876547", true, "published example"},
    {"GO", "157532658", true, "prefix 15"},
    {"GO", "101031051", true, "remainder 1 inside 10103105-10119997 gives 1"},
    {"GO", "101031050", false, "and not 0"},
    {"GO", "110944020", true, "11094402 takes 0"},
    {"GO", "110944021", true, "or 1"},
    {"GO", "129876542", false, "prefix 12 is not Goiás"},
    {"MA", "120000385", true, "published example"},
    {"MA", "121622630", true, "second number"},
    {"MA", "120000386", false, "wrong check digit"},
    {"MA", "130000388", false, "prefix other than 12"},
    {"MT", "00130000019", true, "published example"},
    {"MT", "00403752590", true, "second number"},
    {"MT", "130000019", true, "written without the zeros the state fills in"},
    {"MT", "00130000018", false, "wrong check digit"},
    {"MS", "280405383", true, "first number"},
    {"MS", "285922033", true, "second number"},
    {"MS", "280405384", false, "wrong check digit"},
    {"MS", "290405386", false, "prefix other than 28"},
    {"MG", "0623079040081", true, "published example"},
    {"MG", "8222310008332", true, "second number"},
    {"MG", "0623079040091", false, "wrong first check digit"},
    {"MG", "8364357019828", false, "wrong second check digit"},
    {"MG", "623079040081", false, "twelve digits"},
    {"PA", "159999995", true, "published example"},
    {"PA", "154877905", true, "second number"},
    {"PA", "159999996", false, "wrong check digit"},
    {"PA", "169999998", false, "prefix other than 15"},
    {"PB", "060000015", true, "published example"},
    {"PB", "066632285", true, "second number"},
    {"PB", "066632286", false, "wrong check digit"},
    {"PR", "1234567850", true, "published example"},
    {"PR", "2923358300", true, "second number"},
    {"PR", "1234567851", false, "wrong second check digit"},
    {"PE", "032141840", true, "published eFisco example"},
    {"PE", "18100100000049", true, "published CACEPE example"},
    {"PE", "032141850", false, "wrong first check digit"},
    {"PE", "18100100000048", false, "wrong CACEPE check digit"},
    {"PI", "193016567", true, "published example"},
    {"PI", "247324833", true, "second number"},
    {"PI", "193016560", false, "wrong check digit"},
    {"RJ", "99999993", true, "published example"},
    {"RJ", "96857217", true, "second number"},
    {"RJ", "99999994", false, "wrong check digit"},
    {"RJ", "999999930", false, "nine digits"},
    {"RN", "200400401", true, "published nine-digit example"},
    {"RN", "2000400400", true, "published ten-digit example"},
    {"RN", "200400402", false, "wrong check digit"},
    {"RN", "210400404", false, "prefix other than 20"},
    {"RS", "2243658792", true, "published example"},
    {"RS", "6181184450", true, "second number"},
    {"RS", "2243658793", false, "wrong check digit"},
    {"RO", "101625213", true, "published example, before August 2000"},
    {"RO", "00000000625213", true, "the same company since then"},
    {"RO", "20811958422341", true, "second fourteen-digit number"},
    {"RO", "00000000625214", false, "wrong check digit"},
    {"RR", "240066281", true, "published example"},
    {"RR", "248229230", true, "second number"},
    {"RR", "240066282", false, "wrong check digit"},
    {"RR", "250066283", false, "prefix other than 24"},
    {"SC", "251040852", true, "published example"},
    {"SC", "112632629", true, "second number"},
    {"SC", "251040853", false, "wrong check digit"},
    {"SC", "2510408520", false, "ten digits"},
    {"SP", "110042490114", true, "published example"},
    {"SP", "652896367166", true, "second number"},
    {"SP", "P011004243002", true, "published rural producer example"},
    {"SP", "P011004243002 ", true, "rural producer left-aligned in the field"},
    {"SP", "110042491114", false, "wrong first check digit"},
    {"SP", "110042490115", false, "wrong second check digit"},
    {"SP", "P011004244002", false, "rural producer, wrong check digit"},
    {"SP", "11004249011", false, "eleven digits"},
    {"SE", "271234563", true, "published example"},
    {"SE", "585556610", true, "second number"},
    {"SE", "271234564", false, "wrong check digit"},
    {"TO", "29010227836", true, "published eleven-digit example"},
    {"TO", "290227836", true, "the same number in nine digits"},
    {"TO", "29040227836", false, "company kind 04 does not exist"},
    {"TO", "290227837", false, "wrong check digit"},
    // How the field holds the number.
    {"SP", "00110042490114", true, "zero-filled to 14 positions"},
    {"RJ", "00000099999993", true, "zero-filled to 14 positions"},
    {"PE", "00000032141840", true, "nine-digit form zero-filled to 14"},
    {"RO", "00000101625213", true, "old form zero-filled to 14"},
    {"TO", "00000290227836", true, "nine-digit form zero-filled to 14"},
    {"SP", "10110042490114", false, "filled with something other than zeros"},
    {"SP", "  110042490114  ", true, "blanks around"},
    {"SP", "110042490114  ", true, "left-aligned with trailing blanks"},
    {"SP", "              ", false, "blank field"},
    {"SP", "ISENTO", false, "exempt is the caller's business"},
    {"XX", "110042490114", false, "unknown state"},
    {"sp", "110042490114", false, "states are upper case"},
};

TEST(StateRegistration, FollowsEachStatesRule) {
  for (const Case& c : kCases) {
    EXPECT_EQ(layout::ValidStateRegistration(c.uf, c.ie), c.valid)
        << c.uf << " \"" << c.ie << "\": " << c.why;
  }
}

}  // namespace
