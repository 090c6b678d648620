#!/usr/bin/env python3
"""Writes samples/demo/demo.json, the source of the bundled demo project.

The committed demo.json is the source of truth; this script is how it was
made and can remake it (deterministically) after the tables below change:

    python3 tools/mkproject/make_demo.py > samples/demo/demo.json

The project is a plausible youth survey: a youth questionnaire (3 lines per
case, identifier in columns 1-5), a parent questionnaire (1 line, identifier)
and a school survey file without identifier columns.
"""

import json
import random
import sys

rng = random.Random(1997)

REFUSED = {"code": "-1", "label": "{Refused}", "weight": 1}
DONT_KNOW = {"code": "-2", "label": "{Don't know}", "weight": 1}
INVALID_SKIP = {"code": "-3", "label": "{Invalid skip}", "weight": 0.3}
VALID_SKIP = {"code": "-4", "label": "{Valid skip}", "weight": 6}
NON_INTERVIEW = {"code": "-5", "label": "{Non-interview}", "weight": 2}

YES_NO = [("1", "Yes"), ("0", "No")]
AGREE = [("1", "Strongly agree"), ("2", "Agree"), ("3", "Disagree"), ("4", "Strongly disagree")]
OFTEN = [("1", "Never"), ("2", "Rarely"), ("3", "Sometimes"), ("4", "Often"), ("5", "Very often")]
HEALTH = [("1", "Excellent"), ("2", "Very good"), ("3", "Good"), ("4", "Fair"), ("5", "Poor")]
GRADES = [("1", "Mostly below D's"), ("2", "Mostly D's"), ("3", "About half C's and half D's"),
          ("4", "Mostly C's"), ("5", "About half B's and half C's"), ("6", "Mostly B's"),
          ("7", "About half A's and half B's"), ("8", "Mostly A's")]
REGION = [("1", "Northeast"), ("2", "North Central"), ("3", "South"), ("4", "West")]

variables = []


def reserved(*codes):
    return [dict(c) for c in codes]


def cats(pairs, skewed=True, extra=()):
    out = []
    for i, (code, label) in enumerate(pairs):
        w = rng.randint(5, 40) if skewed else 10
        out.append({"code": code, "label": label, "weight": w})
    return out + reserved(*extra)


def add(name, label, width, type_=" ", section=None, description=None, categories=None, range_=None,
        values=None, file=None, record=None, location=None, shared=None):
    v = {"name": name}
    if file is not None:
        v["file"] = file
    if record is not None:
        v["record"] = record
    if location is not None:
        v["location"] = location
    else:
        v["width"] = width
    v["type"] = type_
    v["label"] = label
    if section is not None:
        v["section"] = section
    if shared is not None:
        v["sharedDescription"] = shared
    elif description:
        v["description"] = description
    if categories:
        v["categories"] = categories
    if range_ is not None:
        v["range"] = range_
    if values is not None:
        v["values"] = values
    variables.append(v)


def q(text, universe=None, *notes):
    """A question text wrapped to 78 columns, the universe and notes."""
    lines = wrap(text)
    if universe:
        lines.append("")
        lines += wrap("Universe: " + universe)
    for n in notes:
        lines += wrap(n)
    return lines


def wrap(text, width=78):
    words, lines, line = text.split(), [], ""
    for w in words:
        if line and len(line) + 1 + len(w) > width:
            lines.append(line)
            line = w
        else:
            line = (line + " " + w) if line else w
    if line:
        lines.append(line)
    return lines


# ----------------------------------------------------------------------------
# Long texts: the weighting note (over 32,000 characters), the industry code
# frame (over 800 lines) and the occupation codes (over 800 categories).

def weighting_note():
    topics = ["base weights", "nonresponse adjustment", "poststratification", "trimming", "variance estimation",
              "cross-sectional weights", "panel weights", "replicate weights"]
    verbs = ["adjusts", "divides", "multiplies", "compares", "rakes", "caps", "smooths", "redistributes"]
    objects = ["the weight of each responding youth", "the sum of the weights in each cell",
               "the selection probability of the household", "the count of eligible youths",
               "the weights of the screened households", "the ratio of respondents to eligible cases"]
    controls = ["age by sex", "race and ethnicity", "census region", "metropolitan status",
                "household size", "school enrollment"]
    lines = ["SAMPLING WEIGHT - TECHNICAL NOTE", ""]
    stratum = 0
    while sum(len(l) for l in lines) < 36000:
        stratum += 1
        topic = topics[stratum % len(topics)]
        lines.append("%d. %s" % (stratum, topic.upper()))
        para = []
        for s in range(rng.randint(5, 9)):
            para.append("Step %d.%d %s %s within stratum %d, using %s as the control total for %s." % (
                stratum, s + 1, rng.choice(verbs).capitalize(), rng.choice(objects), rng.randint(1, 96),
                rng.choice(controls), rng.choice(["1997", "the screening round", "the main round"])))
            if rng.random() < 0.3:
                para.append("Cells with fewer than %d respondents were collapsed with the adjacent cell of the "
                            "same %s before the factor was computed." % (rng.randint(10, 40), rng.choice(controls)))
        lines += wrap(" ".join(para))
        lines.append("")
    lines.append("The weight has two implied decimal places: 0012345 stands for 123.45.")
    return lines


ROLES = ["Managers", "Supervisors", "Clerks", "Technicians", "Assistants", "Operators", "Inspectors", "Helpers",
         "Repairers", "Instructors", "Sales workers", "Laborers", "Drivers", "Analysts", "Attendants",
         "Installers", "Planners", "Coordinators", "Cleaners", "Specialists", "Machine setters", "Aides",
         "Buyers", "Estimators", "Dispatchers"]
FIELDS = ["food service", "construction", "farm work", "retail sales", "health care", "transportation",
          "printing", "textiles", "metal working", "office support", "banking", "insurance", "education",
          "child care", "protective service", "woodworking", "mining", "utilities", "communications",
          "personal service", "entertainment", "wholesale trade", "real estate", "public administration",
          "engineering", "scientific research", "legal service", "social service", "repair service",
          "auto service", "aircraft", "shipping", "warehousing", "forestry", "fishing"]


def occupation_frame():
    pairs = [(r, f) for r in ROLES for f in FIELDS]
    rng.shuffle(pairs)
    return ["%s, %s" % p for p in pairs[:860]]


# ----------------------------------------------------------------------------
# Data file 1: youth questionnaire, 3 lines per case.

def youth():
    sec = "KEY VARIABLES"
    add("KEY_SEX", "Respondent's sex", 1, "A", sec, file=1, record=1, location="6",
        description=q("Sex of the youth respondent, from the screener.", "All respondents"),
        categories=[{"code": "'M'", "label": "Male", "weight": 51}, {"code": "'F'", "label": "Female", "weight": 49}])
    add("KEY_BMON", "Respondent's month of birth", 2, " ", description=q("Month of birth of the respondent.", "All respondents"),
        categories=cats([(str(m), n) for m, n in enumerate(["January", "February", "March", "April", "May", "June",
                                                              "July", "August", "September", "October",
                                                              "November", "December"], 1)], skewed=False))
    add("KEY_BYR", "Respondent's year of birth", 4, " ", description=q("Year of birth of the respondent.", "All respondents"),
        categories=cats([(str(y), str(y)) for y in range(1980, 1985)], skewed=False))
    add("AGE", "Respondent's age at interview date", 2, "0",
        description=q("Age of the respondent in completed years on the interview date, computed from the date "
                      "of birth.", "All respondents"), range_={"min": 12, "max": 18, "weight": 100})
    add("KEY_RACE", "Race/ethnicity (combined)", 1, " ",
        description=q("Combined race and ethnicity of the respondent, created from the screener answers.",
                      "All respondents", "Created variable."),
        categories=cats([("1", "Black"), ("2", "Hispanic"), ("3", "Mixed race (non-Hispanic)"),
                         ("4", "Non-black / non-Hispanic")]))
    add("KEY_SAMP", "Sample type", 1, " ", description=q("Sample from which the respondent was drawn.", "All respondents"),
        categories=cats([("1", "Cross-sectional"), ("0", "Oversample")]))
    add("KEY_REG", "Census region of residence", 1, " ", description=q("Census region of the household.", "All respondents"),
        categories=cats(REGION))
    add("KEY_URB", "Urban or rural residence", 2, " ", description=q("Whether the residence lies in an urban area.",
                                                                     "All respondents"),
        categories=cats([("1", "Urban"), ("0", "Rural"), ("2", "Unknown")], extra=[NON_INTERVIEW]))
    add("LANGINT", "Language of interview", 1, "A", description=q("Language in which the interview was held.",
                                                                  "All respondents"),
        categories=[{"code": "'E'", "label": "English", "weight": 90}, {"code": "'S'", "label": "Spanish", "weight": 9},
                    {"code": "'O'", "label": "Other language", "weight": 1}])

    sec = "HOUSEHOLD ROSTER"
    rel = [("1", "Respondent"), ("2", "Biological parent"), ("3", "Step-parent"), ("4", "Adoptive parent"),
           ("5", "Sibling"), ("6", "Half sibling"), ("7", "Grandparent"), ("8", "Other relative"),
           ("9", "Non-relative")]
    for m in range(1, 9):
        add("HHREL%d" % m, "Relationship to respondent of household member %d" % m, 2, " ",
            sec if m == 1 else None, shared="HHREL", categories=cats(rel, extra=[VALID_SKIP]))
    for m in range(1, 9):
        add("HHAGE%d" % m, "Age of household member %d" % m, 3, "0", shared="HHAGE",
            range_={"min": 0, "max": 95, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
    for m in range(1, 9):
        add("HHSEX%d" % m, "Sex of household member %d" % m, 1, "A",
            description=q("Sex of household member %d as reported by the parent." % m, "Household members"),
            categories=[{"code": "'M'", "label": "Male", "weight": 50}, {"code": "'F'", "label": "Female", "weight": 50},
                        {"code": "'U'", "label": "{Unknown}", "weight": 2}])
    add("HHSIZE", "Number of persons in household", 2, "0",
        description=q("Number of persons living in the household, the respondent included.", "All respondents"),
        range_={"min": 1, "max": 14, "weight": 100})
    add("HHINC", "Gross household income in past year", 6, "0",
        description=q("What was the total income of all members of the household in 1996, before taxes and "
                      "other deductions?", "All households", "Values above 246474 are top-coded."),
        range_={"min": 0, "max": 246474, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW))
    add("POVRAT", "Ratio of household income to poverty level", 4, "2",
        description=q("Household income divided by the poverty threshold for its size.", "Households with income",
                      "Two implied decimals: 0150 stands for 1.50."),
        range_={"min": 0, "max": 2500, "weight": 100}, categories=reserved(NON_INTERVIEW))

    for m in range(1, 9):
        add("HHGRD%d" % m, "Highest grade completed by household member %d" % m, 2, " ",
            description=q("Highest grade of school completed by household member %d." % m, "Household members"),
            categories=cats([(str(g), "Grade %d" % g) for g in range(0, 13)] + [("16", "College graduate")],
                            extra=[DONT_KNOW, VALID_SKIP]))
    for m in range(1, 9):
        add("HHWRK%d" % m, "Household member %d worked in past year" % m, 2, " ",
            description=q("Did household member %d work for pay in 1996?" % m, "Household members"),
            categories=cats(YES_NO, extra=[DONT_KNOW, VALID_SKIP]))
    for m in range(1, 7):
        add("SIBAGE%d" % m, "Age of respondent's sibling %d" % m, 2, "0",
            description=q("Age of sibling %d, whether or not living in the household." % m, "Respondents with siblings"),
            range_={"min": 0, "max": 30, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
        add("SIBSEX%d" % m, "Sex of respondent's sibling %d" % m, 1, "A",
            description=q("Sex of sibling %d." % m, "Respondents with siblings"),
            categories=[{"code": "'M'", "label": "Male", "weight": 50}, {"code": "'F'", "label": "Female", "weight": 50},
                        {"code": "'S'", "label": "{Valid skip}", "weight": 30}])
    for mo, name in enumerate(["JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"], 1):
        add("ENR96%s" % name, "Enrolled in school in month %d of 1996" % mo, 2, " ",
            description=q("Enrollment status of the respondent in month %d of 1996, from the school history." % mo,
                          "All respondents", "Created variable."),
            categories=cats([("0", "Not enrolled"), ("1", "Enrolled in grades 1-12"), ("2", "Enrolled in college"),
                             ("3", "On vacation")]))

    sec = "SCHOOLING"
    add("SCH_ENR", "Currently enrolled in school", 2, " ", sec, description=q(
        "Are you currently attending or enrolled in regular school?", "All respondents"),
        categories=cats(YES_NO, extra=[REFUSED, DONT_KNOW]))
    add("SCH_GRD", "Highest grade completed", 2, " ", description=q(
        "What is the highest grade or year of regular school that you have completed and gotten credit for?",
        "All respondents"), categories=cats([(str(g), "Grade %d" % g) for g in range(1, 13)] + [("95", "Ungraded")],
                                            extra=[DONT_KNOW]))
    add("SCH_TYPE", "Type of school attended", 2, " ", description=q(
        "Is the school you attend public, private religious or private non-religious?", "Enrolled respondents"),
        categories=cats([("1", "Public"), ("2", "Private, religious"), ("3", "Private, non-religious"),
                         ("4", "Home school")], extra=[VALID_SKIP]))
    add("SCH_NAME", "Name of school attended (coded list)", 24, "A", description=q(
        "Name of the school the respondent attends, as written by the interviewer. Names are fictitious in this "
        "edition.", "Enrolled respondents"),
        values={"list": ["LINCOLN HIGH", "ST. MARY'S ACADEMY", "O'NEIL, JR. MIDDLE", "WASHINGTON HIGH",
                         "RIVERSIDE JR. HIGH", "KING'S CROSS SCHOOL", "EAST VALLEY HIGH", "CENTRAL ACADEMY",
                         "\"NEW HOPE\" CHARTER", "MAPLE GROVE, INC."], "weight": 100})
    add("SCH_GPA", "Grade point average in last school year", 3, "2", description=q(
        "Grade point average on a 4-point scale, from the school transcript.", "Enrolled respondents",
        "Two implied decimals: 325 stands for 3.25."),
        range_={"min": 100, "max": 400, "weight": 100}, categories=reserved(VALID_SKIP))
    add("SCH_MARK", "Grades received in last school year", 2, " ", description=q(
        "Which best describes the grades you received in your last year of school?", "Respondents who attended"),
        categories=cats(GRADES, extra=[VALID_SKIP]))
    add("SCH_ABS", "Days absent from school in fall term", 3, "0", description=q(
        "During the fall term, how many days were you absent from school?", "Enrolled respondents"),
        range_={"min": 0, "max": 90, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
    for i, (topic, wording) in enumerate([
            ("SAFE", "I feel safe at this school"), ("TEACH", "The teachers are interested in students"),
            ("DISR", "Disruptions by other students get in the way of my learning"),
            ("FAIR", "Discipline is fair"), ("CHEAT", "There is a lot of cheating at this school"),
            ("HOMEW", "Homework is worth doing"), ("GANG", "There are gangs at this school"),
            ("SPIRIT", "There is real school spirit")], 1):
        add("SCH_%s" % topic[:4], "School climate: %s" % wording.lower()[:48], 2, " ",
            description=q("How much do you agree or disagree with this statement: \"%s\"?" % wording,
                          "Enrolled respondents"), categories=cats(AGREE, extra=[VALID_SKIP]))
    for y in range(1, 13):
        add("SCH_SUS%d" % y if y < 10 else "SCH_SU%d" % y, "Suspended from school in grade %d" % y, 2, " ",
            description=q("Were you suspended from school in grade %d?" % y, "Respondents who completed grade %d" % y),
            categories=cats(YES_NO, extra=[VALID_SKIP, DONT_KNOW]))
    for t in ["MATH", "ENGL", "SCIE", "HIST"]:
        add("TST_%s" % t, "Standardized test percentile, %s" % {"MATH": "mathematics", "ENGL": "English",
                                                              "SCIE": "science", "HIST": "history"}[t], 2, "0",
            description=q("Percentile score on the %s part of the achievement test." % t.lower(),
                          "Respondents who took the test"), range_={"min": 1, "max": 99, "weight": 100},
            categories=reserved(NON_INTERVIEW))

    # Record line 2: work, income and health.
    sec = "EMPLOYMENT"
    add("EMP_EVER", "Ever worked for an employer", 2, " ", sec, record=2, description=q(
        "Have you ever worked for an employer, not counting odd jobs?", "All respondents"),
        categories=cats(YES_NO, extra=[REFUSED]))
    add("EMP_NJOB", "Number of employers since age 14", 2, "0", description=q(
        "Number of employers the respondent has worked for since the 14th birthday.", "Ever worked"),
        range_={"min": 0, "max": 12, "weight": 100}, categories=reserved(VALID_SKIP))
    for j in range(1, 6):
        add("EMP%dNAME" % j if j < 10 else "EMP%dNAM" % j, "Employer %d: name of employer (coded)" % j, 20, "A",
            description=q("Name of employer %d. Replaced by a coded name in this edition." % j, "Employers of the respondent"),
            values={"list": ["ACME FOODS", "MCDONALD'S", "SMITH & SONS", "CITY OF RIVERSIDE", "WAL-MART",
                             "O'BRIEN, CO.", "LAKESIDE FARM", "SELF"], "weight": 100})
        add("EMP%dHRS" % j, "Employer %d: usual hours per week" % j, 2, "0", description=q(
            "How many hours per week did you usually work at this job?", "Employers of the respondent"),
            range_={"min": 1, "max": 60, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
        add("EMP%dWAGE" % j, "Employer %d: hourly rate of pay" % j, 4, "2", description=q(
            "Hourly rate of pay at this job, in dollars.", "Employers of the respondent",
            "Two implied decimals: 0525 stands for $5.25."),
            range_={"min": 425, "max": 2500, "weight": 100}, categories=reserved(REFUSED, VALID_SKIP))
        add("EMP%dSTW" % j, "Employer %d: start week (weeks since 1/1/1994)" % j, 3, "0", description=q(
            "Week in which the respondent started working for this employer.", "Employers of the respondent"),
            range_={"min": 1, "max": 210, "weight": 100}, categories=reserved(VALID_SKIP))
        add("EMP%dSAT" % j, "Employer %d: satisfaction with job" % j, 2, " ", description=q(
            "How do you feel about this job overall?", "Employers of the respondent"),
            categories=cats([("1", "Like it very much"), ("2", "Like it fairly well"), ("3", "Think it is OK"),
                             ("4", "Dislike it somewhat"), ("5", "Dislike it very much")], extra=[VALID_SKIP]))
        add("EMP%dUNI" % j, "Employer %d: covered by a union contract" % j, 2, " ", description=q(
            "Are your wages set by a collective bargaining agreement?", "Employers of the respondent"),
            categories=cats(YES_NO, extra=[DONT_KNOW, VALID_SKIP]))
        add("EMP%dIND" % j, "Employer %d: industry (Census code)" % j, 3, "0",
            shared="INDFRAME" if j == 1 else None,
            description=None if j == 1 else q("Industry of employer %d, coded like EMP1IND." % j),
            range_={"min": 10, "max": 932, "weight": 100}, categories=reserved(VALID_SKIP))
    frame = occupation_frame()
    add("EMP1OCC", "Employer 1: occupation (Census 3-digit code)", 3, " ", description=q(
        "Occupation at employer 1, coded from the job title and duties with the 1990 Census occupation codes.",
        "Employers of the respondent", "The category list holds every code of the frame."),
        categories=[{"code": "%03d" % (i + 3), "label": label, "weight": 1 + (7 if i % 37 == 0 else 0)}
                    for i, label in enumerate(frame)] + reserved(VALID_SKIP))
    for w in range(1, 53, 2):
        add("WK%02dSTAT" % w, "Labor force status in week %d of 1996" % w, 2, " ", description=q(
            "Employment status of the respondent in week %d of calendar year 1996, from the event history." % w,
            "All respondents", "Created variable."),
            categories=cats([("0", "No information"), ("1", "Not working"), ("2", "Unemployed"),
                             ("3", "Out of labor force"), ("4", "In military"), ("5", "Employed")]))

    sec = "INCOME AND ASSETS"
    for src, text in [("WAGE", "wages and salary"), ("FARM", "farm or business income"),
                      ("CHSP", "child support"), ("AFDC", "AFDC payments"), ("FOOD", "food stamps"),
                      ("GIFT", "gifts from family"), ("INTR", "interest and dividends"),
                      ("SSI", "supplemental security income")]:
        add("IN_%sR" % src, "Received %s in past year" % text, 2, " ", sec if src == "WAGE" else None,
            description=q("During 1996, did you receive any %s?" % text, "All respondents"),
            categories=cats(YES_NO, extra=[REFUSED, DONT_KNOW]))
        add("IN_%sA" % src, "Amount of %s in past year" % text[:28], 6, "0", description=q(
            "How much did you receive in %s during 1996?" % text, "Respondents who received %s" % text,
            "Dollar amounts above the top code are set to the mean of the values above it."),
            range_={"min": 0, "max": 75000, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW, VALID_SKIP))
    add("ASSETCAR", "Owns or leases a car", 2, " ", description=q("Do you own or lease a car?", "All respondents"),
        categories=cats(YES_NO, extra=[REFUSED]))
    add("ASSETBNK", "Has a bank account", 2, " ", description=q("Do you have a checking or savings account?",
                                                              "All respondents"),
        categories=cats(YES_NO, extra=[REFUSED]))

    sec = "HEALTH"
    add("HLT_GEN", "Respondent's general health", 2, " ", sec, description=q(
        "In general, how is your health? Would you say it is excellent, very good, good, fair or poor?",
        "All respondents"), categories=cats(HEALTH, extra=[REFUSED]))
    add("HLT_HFT", "Height: feet", 2, "0", description=q("How tall are you? (feet)", "All respondents"),
        range_={"min": 4, "max": 6, "weight": 100}, categories=reserved(DONT_KNOW))
    add("HLT_HIN", "Height: inches", 2, "0", description=q("How tall are you? (inches)", "All respondents"),
        range_={"min": 0, "max": 11, "weight": 100}, categories=reserved(DONT_KNOW))
    add("HLT_WGT", "Weight in pounds", 3, "0", description=q("How much do you weigh without shoes?", "All respondents"),
        range_={"min": 80, "max": 300, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW))
    add("HLT_BMI", "Body mass index", 3, "1", description=q(
        "Body mass index computed from height and weight.", "Respondents with height and weight",
        "One implied decimal: 215 stands for 21.5."), range_={"min": 150, "max": 400, "weight": 100},
        categories=reserved(NON_INTERVIEW))
    conds = ["asthma", "diabetes", "epilepsy", "a heart condition", "a learning disability", "allergies",
             "a vision problem", "a hearing problem", "an emotional problem", "a missing limb", "anemia",
             "a speech problem", "a chronic cough", "frequent headaches"]
    for i, c in enumerate(conds, 1):
        add("HLT_C%02d" % i, "Has %s" % c, 2, " ", description=q(
            "Has a doctor ever told you that you have %s?" % c, "All respondents"),
            categories=cats(YES_NO, extra=[DONT_KNOW]))
    for i, c in enumerate(conds[:8], 1):
        add("HLT_L%02d" % i, "Condition limits school or work: %s" % c[:30], 2, " ", description=q(
            "Does %s limit the kind or amount of school work or other work you can do?" % c,
            "Respondents with the condition"), categories=cats(YES_NO, extra=[VALID_SKIP]))

    # Record line 3: behaviour and attitudes.
    sec = "SUBSTANCE USE"
    subs = [("CIG", "smoked a cigarette", "smoked"), ("ALC", "had a drink of an alcoholic beverage", "drank"),
            ("MAR", "used marijuana", "used marijuana"), ("INH", "used inhalants", "used inhalants"),
            ("COC", "used cocaine or crack", "used cocaine"), ("SED", "used sedatives without a prescription",
                                                              "used sedatives")]
    first = True
    for code, ever, past in subs:
        add("SU_%sEV" % code, "Ever %s" % ever[:50], 2, " ", sec if first else None, record=3 if first else None,
            description=q("Have you ever %s?" % ever, "All respondents",
                          "Asked in the self-administered part of the interview."),
            categories=cats(YES_NO, extra=[REFUSED, DONT_KNOW]))
        first = False
        add("SU_%sAG" % code, "Age when first %s" % past, 2, "0", description=q(
            "How old were you when you first %s?" % ever, "Respondents who ever %s" % past),
            range_={"min": 5, "max": 18, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW, VALID_SKIP))
        add("SU_%sDY" % code, "Days %s in last 30 days" % past, 2, "0", description=q(
            "During the last 30 days, on how many days did you %s?" % past.replace("smoked", "smoke")
            .replace("drank", "drink").replace("used", "use"),
            "Respondents who ever %s" % past), range_={"min": 0, "max": 30, "weight": 100},
            categories=reserved(REFUSED, DONT_KNOW, VALID_SKIP))
        add("SU_%sFR" % code, "How often friends %s" % past, 2, " ", description=q(
            "How many of your friends have %s?" % ever, "All respondents"),
            categories=cats([("1", "Almost none"), ("2", "About a quarter"), ("3", "About half"),
                             ("4", "About three quarters"), ("5", "Almost all")], extra=[REFUSED]))
    add("SU_DRK5", "Days had 5 or more drinks in last 30 days", 2, "0", description=q(
        "On how many days in the last 30 days did you have 5 or more drinks on the same occasion?",
        "Respondents who ever drank"), range_={"min": 0, "max": 30, "weight": 100},
        categories=reserved(REFUSED, VALID_SKIP))

    sec = "DELINQUENCY AND ARRESTS"
    acts = ["purposely damaged property", "stolen something worth less than $50",
            "stolen something worth $50 or more", "attacked someone", "sold drugs", "carried a handgun",
            "belonged to a gang", "run away from home"]
    for i, a in enumerate(acts, 1):
        add("DLQ_%02dE" % i, "Ever %s" % a[:54], 2, " ", sec if i == 1 else None, description=q(
            "Have you ever %s?" % a, "All respondents", "Self-administered."),
            categories=cats(YES_NO, extra=[REFUSED]))
        add("DLQ_%02dN" % i, "Times %s in last 12 months" % a[:40], 3, "0", description=q(
            "In the last 12 months, how many times have you %s?" % a, "Respondents who ever did"),
            range_={"min": 0, "max": 100, "weight": 100}, categories=reserved(REFUSED, VALID_SKIP))
    add("ARR_EVER", "Ever arrested", 2, " ", description=q(
        "Have you ever been arrested by the police or taken into custody for an illegal or delinquent offense?",
        "All respondents"), categories=cats(YES_NO, extra=[REFUSED]))
    add("ARR_NUM", "Number of times arrested", 2, "0", description=q(
        "How many times have you been arrested?", "Respondents ever arrested"),
        range_={"min": 1, "max": 20, "weight": 100}, categories=reserved(REFUSED, VALID_SKIP))

    sec = "ATTITUDES AND EXPECTATIONS"
    events = ["be in school a year from now", "have a baby by age 20", "be working 20 hours a week at age 30",
              "be arrested in the next year", "die of any cause in the next year",
              "have a high school diploma by age 20", "serve in the military by age 20",
              "earn a college degree by age 30", "be a parent by age 30", "live in this state at age 30"]
    for i, e in enumerate(events, 1):
        add("EXP_%02d" % i, "Percent chance respondent will %s" % e[:35], 3, "0", sec if i == 1 else None,
            description=q("What is the percent chance that you will %s?" % e, "All respondents",
                          "Answers from 0 (no chance) to 100 (certain)."),
            range_={"min": 0, "max": 100, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW))
    statements = ["I am a person of worth", "I have a number of good qualities",
                  "I am inclined to feel that I am a failure", "I take a positive attitude toward myself",
                  "I wish I could have more respect for myself", "At times I think I am no good at all",
                  "I worry about my future", "Most people can be trusted", "Hard work pays off",
                  "Luck matters more than effort", "My parents trust me", "I plan ahead",
                  "I get bored easily", "I like to take risks"]
    for i, s in enumerate(statements, 1):
        add("ATT_%02d" % i, "Agrees: %s" % s[:50], 2, " ", description=q(
            "How much do you agree or disagree: \"%s\"?" % s, "All respondents"),
            categories=cats(AGREE, extra=[REFUSED]))
    people = ["mother", "father", "best friend", "teacher"]
    for p in people:
        for k, (topic, text) in enumerate([("TLK", "talk about personal problems"),
                                           ("PRS", "praise you for doing well"),
                                           ("CRT", "criticize your ideas")], 1):
            add("R_%s%s" % (p[:2].upper(), topic), "How often respondent's %s %ss" % (p, text.split()[0]), 2,
                " ", description=q("How often does your %s %s?" % (p, text), "All respondents"),
                categories=cats(OFTEN, extra=[VALID_SKIP]))

    sec = "TIME USE AND MEDIA"
    acts = ["homework", "television", "video games", "reading for fun", "sports", "paid work", "chores",
            "religious activities", "lessons", "time with friends", "computer use", "music practice"]
    for i, a in enumerate(acts, 1):
        add("TU_WD%02d" % i, "Hours on a school day spent on %s" % a, 2, "0", sec if i == 1 else None, description=q(
            "On a typical school day, how many hours do you spend on %s?" % a, "All respondents"),
            range_={"min": 0, "max": 12, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW))
        add("TU_WE%02d" % i, "Hours on a weekend day spent on %s" % a, 2, "0", description=q(
            "On a typical weekend day, how many hours do you spend on %s?" % a, "All respondents"),
            range_={"min": 0, "max": 16, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW))
    for i, m in enumerate(["has a computer at home", "uses the internet", "has a television in own room",
                           "has a telephone in own room", "reads a newspaper weekly", "has a library card",
                           "owns a music player", "has an e-mail address", "plays a musical instrument",
                           "has a driver's license"], 1):
        add("MED_%02d" % i, "Respondent %s" % m, 2, " ", description=q("Do you? \"%s\"" % m.capitalize(),
                                                                        "All respondents"),
            categories=cats(YES_NO, extra=[REFUSED]))

    sec = "RELIGION AND NEIGHBORHOOD"
    add("REL_PREF", "Respondent's religious preference", 2, " ", sec, description=q(
        "What is your present religious preference?", "All respondents"),
        categories=cats([("0", "None"), ("1", "Catholic"), ("2", "Baptist"), ("3", "Methodist"), ("4", "Lutheran"),
                         ("5", "Other Protestant"), ("6", "Jewish"), ("7", "Muslim"), ("8", "Other")],
                        extra=[REFUSED, DONT_KNOW]))
    add("REL_ATT", "Times attended worship in past year", 2, " ", description=q(
        "In the past 12 months, how often have you attended a worship service?", "All respondents"),
        categories=cats([("1", "Never"), ("2", "Once or twice"), ("3", "Less than once a month"),
                         ("4", "About once a month"), ("5", "About once a week"), ("6", "More than once a week")],
                        extra=[REFUSED]))
    for i, n in enumerate(["Houses and yards are kept up", "There is a lot of crime", "People help each other",
                           "There are gangs", "Parks are safe for children", "Many houses are empty",
                           "Neighbors watch out for children", "Drugs are sold openly"], 1):
        add("NBH_%02d" % i, "Neighborhood: %s" % n.lower(), 2, " ", description=q(
            "How well does this describe your neighborhood: \"%s\"?" % n, "All respondents"),
            categories=cats(AGREE, extra=[REFUSED, DONT_KNOW]))

    sec = "TRAINING PROGRAMS"
    for i, t in enumerate(["business or secretarial school", "apprenticeship", "vocational-technical institute",
                           "correspondence course", "Job Corps", "on-the-job training"], 1):
        add("TRN%dEVR" % i, "Ever attended %s" % t, 2, " ", sec if i == 1 else None, description=q(
            "Have you ever attended a %s program?" % t, "Respondents age 14 and older"),
            categories=cats(YES_NO, extra=[REFUSED, VALID_SKIP]))
        add("TRN%dWKS" % i, "Weeks attended %s" % t[:40], 3, "0", description=q(
            "How many weeks did you attend this program?", "Respondents who attended"),
            range_={"min": 1, "max": 104, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
        add("TRN%dCMP" % i, "Completed %s" % t, 2, " ", description=q(
            "Did you complete this program?", "Respondents who attended"),
            categories=cats([("1", "Completed"), ("2", "Still attending"), ("3", "Dropped out")],
                            extra=[VALID_SKIP]))
    for a in range(1, 6):
        add("ARR%dMON" % a, "Arrest %d: month of arrest" % a, 2, "0", description=q(
            "In what month was arrest %d?" % a, "Respondents arrested at least %d times" % a),
            range_={"min": 1, "max": 12, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
        add("ARR%dCHG" % a, "Arrest %d: most serious charge" % a, 2, " ", description=q(
            "What was the most serious charge at arrest %d?" % a, "Respondents arrested at least %d times" % a),
            categories=cats([("1", "Assault"), ("2", "Robbery"), ("3", "Burglary"), ("4", "Theft"),
                             ("5", "Destruction of property"), ("6", "Drug possession"), ("7", "Drug sale"),
                             ("8", "Public order"), ("9", "Other")], extra=[REFUSED, VALID_SKIP]))
        add("ARR%dOUT" % a, "Arrest %d: outcome" % a, 2, " ", description=q(
            "What happened after arrest %d?" % a, "Respondents arrested at least %d times" % a),
            categories=cats([("1", "Released without charge"), ("2", "Charges dropped"), ("3", "Convicted"),
                             ("4", "Acquitted"), ("5", "Case pending")], extra=[DONT_KNOW, VALID_SKIP]))

    sec = "DATING, MARRIAGE AND FERTILITY"
    add("DAT_EVER", "Ever been on a date", 2, " ", sec, description=q("Have you ever gone out on a date?",
                                                                      "Respondents age 14 and older"),
        categories=cats(YES_NO, extra=[REFUSED, VALID_SKIP]))
    add("DAT_AGE", "Age at first date", 2, "0", description=q("How old were you when you first went out on a date?",
                                                              "Respondents who ever dated"),
        range_={"min": 10, "max": 18, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
    add("MAR_STAT", "Marital status", 2, " ", description=q("What is your current marital status?", "All respondents"),
        categories=cats([("1", "Never married"), ("2", "Married"), ("3", "Separated"), ("4", "Divorced")],
                        extra=[REFUSED]))
    add("FRT_PREG", "Number of pregnancies", 2, "0", description=q("How many times have you been pregnant?",
                                                                   "Female respondents"),
        range_={"min": 0, "max": 3, "weight": 100}, categories=reserved(REFUSED, VALID_SKIP))
    add("FRT_KIDS", "Number of biological children", 2, "0", description=q(
        "How many biological children do you have?", "All respondents"),
        range_={"min": 0, "max": 2, "weight": 100}, categories=reserved(REFUSED))
    for i, t in enumerate(["used birth control at last sex", "ever had sex education in school",
                           "discussed birth control with a parent", "wants children someday"], 1):
        add("FRT_Q%d" % i, "Respondent %s" % t, 2, " ", description=q("Have you %s?" % t, "Respondents age 14 and older"),
            categories=cats(YES_NO, extra=[REFUSED, VALID_SKIP]))

    sec = "INTERVIEWER REMARKS"
    add("IWR_ID", "Interviewer identification code", 6, "A", sec, description=q(
        "Code of the interviewer who held the interview.", "All respondents"),
        values={"list": ["IW%04d" % rng.randint(100, 9999) for _ in range(25)], "weight": 100})
    add("IWR_COOP", "Respondent's cooperation during interview", 2, " ", description=q(
        "In general, what was the respondent's attitude toward the interview?", "All respondents",
        "Interviewer remark."),
        categories=cats([("1", "Friendly and interested"), ("2", "Cooperative, not interested"),
                         ("3", "Impatient and restless"), ("4", "Hostile")]))
    add("IWR_PRIV", "Others present during interview", 1, "A", description=q(
        "Was anyone else present during the interview?", "All respondents"),
        categories=[{"code": "'Y'", "label": "Yes, a parent", "weight": 30},
                    {"code": "'O'", "label": "Yes, someone else", "weight": 15},
                    {"code": "'N'", "label": "No one", "weight": 55}])
    add("IWR_LEN", "Length of interview in minutes", 3, "0", description=q(
        "Length of the interview in minutes, from the laptop clock.", "All respondents"),
        range_={"min": 25, "max": 240, "weight": 100})
    add("IWR_MODE", "Mode of interview", 1, "A", description=q("How was the interview held?", "All respondents"),
        categories=[{"code": "'P'", "label": "In person", "weight": 92},
                    {"code": "'T'", "label": "By telephone", "weight": 8}])
    add("WEIGHT", "Sampling weight, cross-sectional", 7, "2", description=weighting_note(),
        range_={"min": 50000, "max": 2500000, "weight": 100})


# ----------------------------------------------------------------------------
# Data file 2: parent questionnaire, 1 line per case, identifier.

def parent():
    sec = "PARENT BACKGROUND"
    add("P_RELAT", "Parent's relationship to youth", 2, " ", sec, file=2, record=1, description=q(
        "Relationship of the responding parent to the youth.", "Youths with a parent interview"),
        categories=cats([("1", "Biological mother"), ("2", "Biological father"), ("3", "Step-mother"),
                         ("4", "Step-father"), ("5", "Adoptive parent"), ("6", "Grandparent"),
                         ("7", "Other guardian")], extra=[NON_INTERVIEW]))
    add("P_AGE", "Parent's age", 2, "0", description=q("Age of the responding parent.", "Parent respondents"),
        range_={"min": 28, "max": 75, "weight": 100}, categories=reserved(REFUSED, NON_INTERVIEW))
    add("P_BORN", "Parent's country of birth", 2, " ", description=q("Where were you born?", "Parent respondents"),
        categories=cats([("1", "United States"), ("2", "Mexico"), ("3", "Canada"), ("4", "Elsewhere")],
                        extra=[NON_INTERVIEW]))
    add("P_EDUC", "Parent's highest grade completed", 2, " ", description=q(
        "What is the highest grade or year of school you have completed?", "Parent respondents"),
        categories=cats([(str(g), "Grade %d" % g) for g in range(1, 13)] +
                        [(str(g), "College year %d" % (g - 12)) for g in range(13, 17)] +
                        [("17", "Graduate school")], extra=[REFUSED, NON_INTERVIEW]))
    add("P_MOMED", "Youth's mother's highest grade completed", 2, " ", description=q(
        "Highest grade completed by the youth's biological mother.", "Parent respondents"),
        categories=cats([(str(g), "Grade %d" % g) for g in range(6, 13)] + [("16", "College graduate")],
                        extra=[DONT_KNOW, NON_INTERVIEW]))
    add("P_DADED", "Youth's father's highest grade completed", 2, " ", description=q(
        "Highest grade completed by the youth's biological father.", "Parent respondents"),
        categories=cats([(str(g), "Grade %d" % g) for g in range(6, 13)] + [("16", "College graduate")],
                        extra=[DONT_KNOW, NON_INTERVIEW]))
    add("P_HLTH", "Parent's general health", 2, " ", description=q("In general, how is your health?", "Parent respondents"),
        categories=cats(HEALTH, extra=[NON_INTERVIEW]))
    add("P_WORK", "Parent worked for pay in past year", 2, " ", description=q(
        "Did you work for pay at any time in 1996?", "Parent respondents"),
        categories=cats(YES_NO, extra=[NON_INTERVIEW]))
    add("P_HRS", "Parent's usual hours worked per week", 2, "0", description=q(
        "How many hours per week did you usually work?", "Parents who worked"),
        range_={"min": 1, "max": 80, "weight": 100}, categories=reserved(VALID_SKIP, NON_INTERVIEW))
    add("P_EARN", "Parent's earnings in past year", 6, "0", description=q(
        "What were your earnings from wages and salary in 1996?", "Parents who worked"),
        range_={"min": 0, "max": 150000, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW, VALID_SKIP))

    sec = "PARENTING"
    styles = ["knows who the youth's friends are", "knows where the youth is after school",
              "sets a curfew", "limits television", "checks homework", "eats dinner with the youth",
              "attends school meetings", "talks with the youth about drugs", "praises the youth",
              "criticizes the youth", "helps the youth with problems", "goes to church with the youth",
              "knows the youth's teachers", "limits who the youth dates", "decides the youth's clothes"]
    for i, s in enumerate(styles, 1):
        add("P_STY%02d" % i, "Parent %s" % s[:40], 2, " ", sec if i == 1 else None, description=q(
            "How often do you %s?" % s.replace("knows", "know").replace("sets", "set").replace("limits", "limit")
            .replace("checks", "check").replace("eats", "eat").replace("attends", "attend").replace("talks", "talk")
            .replace("praises", "praise").replace("criticizes", "criticize").replace("helps", "help")
            .replace("goes", "go").replace("decides", "decide"),
            "Parent respondents"), categories=cats(OFTEN, extra=[NON_INTERVIEW]))
    for i, s in enumerate(["Youth's behavior problems at home", "Youth's behavior problems at school",
                           "Youth's health limitations", "Youth's friends are a bad influence",
                           "Youth is often unhappy", "Youth has trouble sleeping",
                           "Youth argues a lot", "Youth is too dependent on adults",
                           "Youth lies or cheats", "Youth is disobedient"], 1):
        add("P_BEH%02d" % i, s, 2, " ", description=q(
            "Please say whether this is not true, sometimes true or often true: \"%s\"." % s, "Parent respondents"),
            categories=cats([("0", "Not true"), ("1", "Sometimes true"), ("2", "Often true")],
                            extra=[NON_INTERVIEW]))

    sec = "PARENT'S SPOUSE OR PARTNER"
    add("SP_PRES", "Parent has a spouse or partner in household", 2, " ", sec, description=q(
        "Is there a spouse or partner of yours living in this household?", "Parent respondents"),
        categories=cats(YES_NO, extra=[NON_INTERVIEW]))
    add("SP_AGE", "Spouse's or partner's age", 2, "0", description=q("How old is your spouse or partner?",
                                                                     "Parents with a spouse or partner"),
        range_={"min": 25, "max": 80, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP, NON_INTERVIEW))
    add("SP_EDUC", "Spouse's or partner's highest grade completed", 2, " ", description=q(
        "What is the highest grade your spouse or partner completed?", "Parents with a spouse or partner"),
        categories=cats([(str(g), "Grade %d" % g) for g in range(6, 13)] + [("16", "College graduate"),
                                                                          ("18", "Graduate degree")],
                        extra=[DONT_KNOW, VALID_SKIP]))
    add("SP_EARN", "Spouse's or partner's earnings in past year", 6, "0", description=q(
        "What were your spouse's or partner's earnings in 1996?", "Parents with a spouse or partner"),
        range_={"min": 0, "max": 150000, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW, VALID_SKIP))
    for i, t in enumerate(["housework", "child discipline", "money", "the youth's friends", "religion",
                           "drinking", "relatives", "leisure time"], 1):
        add("SP_ARG%d" % i, "How often parent and partner argue about %s" % t, 2, " ", description=q(
            "How often do you and your spouse or partner argue about %s?" % t, "Parents with a spouse or partner"),
            categories=cats(OFTEN, extra=[VALID_SKIP]))
    for age in range(0, 13):
        add("CC_AGE%02d" % age, "Main child care arrangement at youth's age %d" % age, 2, " ", description=q(
            "What was the youth's main child care arrangement at age %d?" % age, "Parent respondents"),
            categories=cats([("1", "Parent"), ("2", "Relative"), ("3", "Day care center"), ("4", "Babysitter"),
                             ("5", "Self care"), ("6", "School")], extra=[DONT_KNOW, NON_INTERVIEW]))

    sec = "FAMILY PROCESS AND HOUSEHOLD"
    for i, item in enumerate(["Family members get along well", "We fight a lot in our family",
                              "Family members back each other up", "We do things together for fun",
                              "Family members feel close", "We share interests"], 1):
        add("P_FAM%02d" % i, "Family process: %s" % item.lower()[:44], 2, " ", sec if i == 1 else None,
            description=q("How true is this of your family: \"%s\"?" % item, "Parent respondents"),
            categories=cats([("1", "Not at all true"), ("2", "Somewhat true"), ("3", "Mostly true"),
                             ("4", "Completely true")], extra=[NON_INTERVIEW]))
    add("P_MOVES", "Times family moved since youth's birth", 2, "0", description=q(
        "How many times has the family moved since the youth was born?", "Parent respondents"),
        range_={"min": 0, "max": 15, "weight": 100}, categories=reserved(DONT_KNOW, NON_INTERVIEW))
    add("P_RENT", "Monthly rent or mortgage payment", 5, "0", description=q(
        "How much is your monthly rent or mortgage payment?", "Parent respondents"),
        range_={"min": 0, "max": 3000, "weight": 100}, categories=reserved(REFUSED, DONT_KNOW, NON_INTERVIEW))
    add("P_OWN", "Home owned or rented", 2, " ", description=q("Do you own or rent your home?", "Parent respondents"),
        categories=cats([("1", "Owned"), ("2", "Rented"), ("3", "Other arrangement")], extra=[NON_INTERVIEW]))
    for p in ["AFDC", "WIC", "food stamps", "Medicaid", "housing assistance", "SSI", "unemployment insurance",
              "workers' compensation"]:
        nm = "P_PG" + "".join(w[0] for w in p.upper().replace("'", "").split())[:4]
        add(nm if nm not in [v["name"] for v in variables] else nm + "2",
            "Household received %s in past year" % p, 2, " ", description=q(
                "Did anyone in your household receive %s during 1996?" % p, "Parent respondents"),
            categories=cats(YES_NO, extra=[DONT_KNOW, NON_INTERVIEW]))
    for i in range(1, 41):
        topic = ["youth's doctor visits", "youth's dentist visits", "youth's hospital stays",
                 "youth's prescriptions", "youth's eye exams"][i % 5]
        add("P_HX%02d" % i, "Health history %d: %s" % (i, topic), 2, "0",
            shared="PHEALTH", range_={"min": 0, "max": 20, "weight": 100},
            categories=reserved(DONT_KNOW, NON_INTERVIEW))
    add("P_IWLANG", "Language of parent interview", 1, "A", description=q("Language of the parent interview.",
                                                                          "Parent respondents"),
        categories=[{"code": "'E'", "label": "English", "weight": 85}, {"code": "'S'", "label": "Spanish", "weight": 14},
                    {"code": "'N'", "label": "{No parent interview}", "weight": 5}])


# ----------------------------------------------------------------------------
# Data file 3: school survey, no identifier columns.

def school():
    sec = "SCHOOL ADMINISTRATOR SURVEY"
    add("S_TYPE", "Type of school (administrator report)", 2, " ", sec, file=3, record=1, description=q(
        "Is this a public school, a Catholic school, another private religious school or a private "
        "non-religious school?", "Schools of enrolled respondents",
        "The school file holds one line per respondent, in case order, without identifier columns."),
        categories=cats([("1", "Public"), ("2", "Catholic"), ("3", "Other religious"), ("4", "Non-religious private")],
                        extra=[VALID_SKIP]))
    add("S_ENROLL", "Total enrollment of school", 4, "0", description=q(
        "What is the total enrollment of the school?", "Schools of enrolled respondents"),
        range_={"min": 50, "max": 4500, "weight": 100}, categories=reserved(VALID_SKIP))
    add("S_PCTMIN", "Percent minority students", 3, "0", description=q(
        "What percent of the students are members of a minority group?", "Schools of enrolled respondents"),
        range_={"min": 0, "max": 100, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
    add("S_PCTLUN", "Percent students eligible for free lunch", 3, "0", description=q(
        "What percent of students are eligible for free or reduced-price lunch?",
        "Schools of enrolled respondents"), range_={"min": 0, "max": 100, "weight": 100},
        categories=reserved(DONT_KNOW, VALID_SKIP))
    add("S_RATIO", "Student/teacher ratio", 3, "1", description=q(
        "Number of students per full-time teacher.", "Schools of enrolled respondents",
        "One implied decimal: 175 stands for 17.5."), range_={"min": 80, "max": 350, "weight": 100},
        categories=reserved(VALID_SKIP))
    add("S_SALARY", "Starting teacher salary", 5, "0", description=q(
        "What is the starting salary of a teacher with a bachelor's degree?", "Schools of enrolled respondents"),
        range_={"min": 15000, "max": 40000, "weight": 100}, categories=reserved(DONT_KNOW, VALID_SKIP))
    add("S_REGION", "Census region of school", 2, " ", description=q("Census region of the school.",
                                                                     "Schools of enrolled respondents"),
        categories=cats(REGION, extra=[VALID_SKIP]))
    add("S_STATE", "State of school (postal code)", 2, "A", description=q(
        "Postal code of the state where the school lies.", "Schools of enrolled respondents"),
        values={"list": ["AL", "CA", "CO", "FL", "GA", "IL", "IN", "MA", "MI", "NC", "NJ", "NY", "OH", "PA", "TX",
                         "VA", "WA", "WI"], "weight": 100})
    sec = "SCHOOL PROGRAMS AND PROBLEMS"
    programs = ["job shadowing", "mentoring", "cooperative education", "school-sponsored enterprise",
                "technical preparation", "internships", "career major", "career counseling",
                "advanced placement courses", "gifted program", "dropout prevention", "drug education",
                "metal detectors", "uniform policy", "closed campus at lunch", "security guards"]
    for i, p in enumerate(programs, 1):
        add("S_PRG%02d" % i, "School offers %s" % p, 2, " ", sec if i == 1 else None, description=q(
            "Does the school offer or have %s?" % p, "Schools of enrolled respondents"),
            categories=cats(YES_NO, extra=[VALID_SKIP]))
    problems = ["tardiness", "absenteeism", "class cutting", "physical conflicts", "theft", "vandalism",
                "alcohol use", "drug use", "weapons", "verbal abuse of teachers", "gang activity",
                "racial tension", "student pregnancy", "dropping out", "lack of parent involvement"]
    for i, p in enumerate(problems, 1):
        add("S_PRB%02d" % i, "Problem at school: %s" % p, 2, " ", description=q(
            "How much of a problem is %s at this school?" % p, "Schools of enrolled respondents"),
            categories=cats([("1", "Serious"), ("2", "Moderate"), ("3", "Minor"), ("4", "Not a problem")],
                            extra=[VALID_SKIP]))
    for i, r in enumerate(["graduation rate", "college attendance rate", "average daily attendance",
                           "percent of teachers with master's degree", "percent of students in vocational courses"],
                          1):
        add("S_RATE%d" % i, "School %s (percent)" % r[:40], 4, "1", description=q(
            "School's %s, in percent with one implied decimal." % r, "Schools of enrolled respondents",
            "0875 stands for 87.5 percent."), range_={"min": 300, "max": 1000, "weight": 100},
            categories=reserved(DONT_KNOW, VALID_SKIP))

    sec = "TEACHER SURVEY"
    for i, t in enumerate(["students come to class prepared", "parents support the school",
                           "the principal backs up teachers", "teachers share ideas", "class sizes are too large",
                           "supplies are adequate", "students respect teachers", "rules are enforced",
                           "the school day is long enough", "teachers have time to plan"], 1):
        add("T_OPN%02d" % i, "Teacher opinion: %s" % t[:45], 2, " ", sec if i == 1 else None, description=q(
            "Average teacher rating of the statement: \"%s\"." % t.capitalize(), "Schools with a teacher survey"),
            categories=cats(AGREE, extra=[VALID_SKIP]))
        add("T_PCT%02d" % i, "Percent of teachers agreeing: %s" % t[:38], 3, "0", description=q(
            "Percent of surveyed teachers who agree: \"%s\"." % t.capitalize(), "Schools with a teacher survey"),
            range_={"min": 0, "max": 100, "weight": 100}, categories=reserved(VALID_SKIP))


youth()
parent()
school()

descriptions = {
    "HHREL": q("What is the relationship of this household member to the youth? The household roster lists up "
               "to 8 members in the order the parent named them; member 1 is always the youth.",
               "Household members 1 to 8",
               "The same question is asked for every member of the roster; variables HHREL1 to HHREL8 hold the "
               "answers for members 1 to 8."),
    "HHAGE": q("How old is this household member? Ages are in completed years on the interview date.",
               "Household members 1 to 8", "HHAGE1 to HHAGE8 hold members 1 to 8."),
    "PHEALTH": q("Health history grid: how many times in the past 12 months did the youth have each kind of "
                 "health care visit? The parent answered the grid once for each of 40 items; all items share "
                 "this description.", "Parent respondents", "Items rotate through five kinds of visits."),
    "INDFRAME": ["Industry at employer 1, coded with the 1990 Census industry classification.", "",
                 "Universe: Employers of the respondent", "",
                 "CODE FRAME (every code the coders could assign; codes that do not occur in this",
                 "edition are listed for completeness):", ""] +
                ["%03d  %s" % (10 + i, label) for i, label in enumerate(occupation_frame()[:840])],
}

project = {
    "id": "DEMO",
    "title": "NATIONAL YOUTH SURVEY 1997 - DEMO EDITION",
    "prefix": "DEMO",
    "headerLines": ["TITLE 'NATIONAL YOUTH SURVEY 1997 - DEMO EDITION'",
                    "* Demo edition: the values are random draws, not survey answers"],
    "cases": 800,
    "seed": 1997,
    "dataFiles": [
        {"dataPath": "DATA\\YOUTH97.DAT", "linesPerCase": 3, "idLocation": "1-5"},
        {"dataPath": "DATA\\PARENT97.DAT", "linesPerCase": 1, "idLocation": "1-5"},
        {"dataPath": "DATA\\SCHOOL97.DAT", "linesPerCase": 1, "idLocation": "0"},
    ],
    "descriptions": descriptions,
    "variables": variables,
}


def dump(value, indent):
    """Pretty JSON with short objects (categories, data files) kept on one line."""
    pad = "  " * indent
    if isinstance(value, dict):
        flat = json.dumps(value, ensure_ascii=False)
        if len(flat) <= 110 and not any(isinstance(v, (dict, list)) and len(json.dumps(v)) > 60
                                        for v in value.values()):
            return flat
        items = ["%s  %s: %s" % (pad, json.dumps(k), dump(v, indent + 1)) for k, v in value.items()]
        return "{\n" + ",\n".join(items) + "\n" + pad + "}"
    if isinstance(value, list):
        flat = json.dumps(value, ensure_ascii=False)
        if len(flat) <= 80 and not any(isinstance(v, (dict, list)) for v in value):
            return flat
        items = ["%s  %s" % (pad, dump(v, indent + 1)) for v in value]
        return "[\n" + ",\n".join(items) + "\n" + pad + "]"
    return json.dumps(value, ensure_ascii=False)


sys.stdout.write(dump(project, 0) + "\n")
