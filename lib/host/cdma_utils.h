#pragma once
// The CDMA utility routines the decoders share: PN arithmetic, pilot ranking,
// band-class frequencies, CDMA time and the map projection of positions.
#include <cstdint>

class IOrbDataState;
class IProObjectPropertiesConnectedAccessor;
class CCoordinateSystem;

// GetPilotIncrement and CDMATime2UTC read the library's attributes and log header, so
// they are defined with the framework (framework/cdma_utils_framework.cpp).
class CDMACommonUtils {
 public:
  // Returned by GetFrequency for a band class or channel it has no rule for.
  static constexpr double kUnknownFrequency = -1.0;
  static constexpr int kDefaultPilotIncrement = 1;
  static constexpr int kPnCount = 512;  // pilot PN offsets 0-511

  static bool IsPNValid(std::uint16_t pn);
  // rank[i] = index of the i-th strongest of count entries (ties keep index order).
  static void ComputePilotRanking(const std::uint16_t* strengths, int* rank, int count);
  static std::uint8_t NumLockedFingers(const std::uint16_t* strengths, int count);
  // PN offset of a pilot phase in chips (64 chips a PN), rounded to the pilot increment.
  static void ComputePN(int phase, int increment, int& pn);
  // ATTR_ID_PN_INC as last written, else the accessor's setting, else 1.
  static int GetPilotIncrement(IOrbDataState* ds, IProObjectPropertiesConnectedAccessor* accessor);
  // Carrier frequency in MHz of a channel in a band class (forward link), kUnknownFrequency if unknown.
  static double GetFrequency(std::int16_t channel, std::uint8_t band_class, int reverse_link);
  // 8-byte CDMA time stamp (bytes 2-7: 1.25 ms units since 1980-01-06) to seconds since 1970.
  static double CDMATime2UTC(const std::uint8_t* stamp);
  static int GetProjectionSettings(IProObjectPropertiesConnectedAccessor* accessor);
  static bool InitCoordinateSystem(int projection, CCoordinateSystem& system);
  // Replaces latitude by y and longitude by x.
  static void TransformGPS(double& latitude, double& longitude, const CCoordinateSystem& system);
};
