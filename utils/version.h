#pragma once

// The client's version as reported to the hub, the menu server and on the login dialog.
inline constexpr char ClientVersion[] = "1.9.0-143";

inline constexpr char OrganizationName[] = "Halvorne";
inline constexpr char OrganizationDomain[] = "halvorne.example";
inline constexpr char ApplicationName[] = "Halvorne ZU";
