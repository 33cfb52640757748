// The product's fixed texts. A distributor who ships Kelvarin under their own
// site and contact address changes kSiteAddress and kMailAddress here, and
// nowhere else.
#pragma once

namespace kelvarin {

inline constexpr char kProductName[] = "Kelvarin";
inline constexpr char kVersionText[] = "1.01";

inline constexpr char kSiteAddress[] = "https://kelvarin.example.org/";
inline constexpr char kMailAddress[] = "support@kelvarin.example.org";

} // namespace kelvarin
