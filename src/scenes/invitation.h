#pragma once
// The words of the invitation: what the opening credits and the end text
// say about the party this show invites to.
namespace Invitation {

// Where the show itself is released.
constexpr const char* kEventLine = "Released at Glimmer 2026";
constexpr const char* kInviteLine = "we would like to invite you to";
// The party's name: its first word on its own, then the whole.
constexpr const char* kPartyFirstWord = "Sandpit";
constexpr const char* kPartyName = "Sandpit Ten";
constexpr const char* kDatesLine = "April 16th - 18th 2027";
constexpr const char* kComeLine = "Come to Sandpit Ten 2027";
constexpr const char* kWebAddress = "www.sandpitparty.no";
constexpr const char* kVenueLine = "Bryggeloftet, Bergen - Norway";
// The toy train's line that names the party's month.
constexpr const char* kMonthLine = "Come out and play with us in April";

// The party's competitions, in the order the robots' stage shows them.
constexpr const char* kCategories[] = {"Combined Demo", "Combined 64K Intro", "Combined 4K Intro",
                                       "Graphics",      "32K Executable Music", "Dance Music",
                                       "Gabber",        "Photo",              "Surprise"};

// Who made the show, role by role, in the order the clown's credits show
// them; the makers' handles.
struct Credit {
  const char* role;
  const char* handle;
};
constexpr Credit kCredits[] = {
    {"Code", "Fenrik"},
    {"Music", "Noctiluca"},
    {"Modelling", "Bramblewood"},
    {"Additional modelling", "Quillon"},
    {"Inspirational text", "Hermit Crab"},
    {"Design support", "Vesper & Tangram"},
    {"Code support", "Oxbow"},
    {"Original squid picture", "Inkfish"},
};

}  // namespace Invitation
