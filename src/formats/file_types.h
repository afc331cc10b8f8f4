// File-type codes of the data file formats and the detection switch.
#pragma once

// The codes GetFileType returns and SaveFile accepts; WhatIs names them.
enum TFileTypeCode : int {
    ft_EmptyOrBinary = -2,
    ft_NotFound = -1,
    ft_AutoDetect = 0,
    ft_IntelIntellec = 1,
    ft_IntelMCS86 = 2,
    ft_IntelHex32 = 3,
    ft_MotorolaExorciser = 4,
    ft_MotorolaExormacs = 5,
    ft_Motorola32 = 6,
    ft_ExtTektronix = 7,
    ft_Tektronix = 8,
    ft_AtmelGeneric16 = 9,
    ft_AtmelGeneric8 = 10,
    ft_Binary = 11,
};

// While on, the detectors do not compare record checksums (the header
// checksum of a Tektronix record excepted). Readers never verify them.
inline constexpr bool IGNORECHECKSUM = true;
