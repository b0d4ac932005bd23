#pragma once
// Calendar arithmetic on the host's date-time double (days since
// 30 December 1899). Proleptic Gregorian calendar, years 1 to 9999.
namespace wire {

struct CalendarDate {
  int year = 1899;
  int month = 12;
  int day = 30;
  bool operator==(const CalendarDate&) const = default;
};

bool IsValidCalendarDate(int year, int month, int day);
int DaysInMonth(int year, int month);
// Throws std::invalid_argument for a date that does not exist.
double EncodeDate(int year, int month, int day);
// The calendar day of a date-time; the time of day is dropped.
CalendarDate DecodeDate(double date);

}  // namespace wire
