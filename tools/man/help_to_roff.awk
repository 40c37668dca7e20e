# Turns a program's --help text (the input) into a roff manual page; see make_page.sh.
# Variables: name (the program), version (kelvor's), sections (file of written sections).

function esc(s) {
  gsub(/\\/, "\\\\e", s)
  gsub(/-/, "\\\\-", s)
  if (s ~ /^[.']/) s = "\\&" s
  return s
}

function new_section(t) {
  cur = ++nsec
  title[cur] = t
  count[cur] = 0
}

function add_line(s, from_heading) {
  sub(/ +$/, "", s)
  count[cur]++
  text[cur, count[cur]] = s
  inline[cur, count[cur]] = from_heading
}

function indent(s) {
  match(s, /^ */)
  return RLENGTH
}

# One paragraph, lines a..b of section i: filled when it is plain prose, kept as it stands when
# any line is indented or holds columns.
function paragraph(i, a, b,    j, s, s2, prose, least) {
  prose = 1
  least = -1
  for (j = a; j <= b; j++) {
    s = text[i, j]
    if (indent(s) > 0 && !(j == a && inline[i, j])) prose = 0
    if (s ~ /[^ ]  +[^ ]/) {
      s2 = s
      sub(/^ +/, "", s2)
      if (s2 ~ /[^ ]  +[^ ]/) prose = 0
    }
    if (least < 0 || indent(s) < least) least = indent(s)
  }
  print ".PP"
  if (prose) {
    for (j = a; j <= b; j++) {
      s = text[i, j]
      sub(/^ +/, "", s)
      print esc(s)
    }
    return
  }
  print ".nf"
  for (j = a; j <= b; j++) print esc(substr(text[i, j], least + 1))
  print ".fi"
}

function body(i,    j, a) {
  a = 0
  for (j = 1; j <= count[i] + 1; j++) {
    if (j > count[i] || text[i, j] == "") {
      if (a) paragraph(i, a, j - 1)
      a = 0
    } else if (!a) {
      a = j
    }
  }
}

function written(t,    k, done) {
  done = 0
  for (k = 1; k <= nwritten; k++) {
    if (wtitle[k] == t) {
      if (t != "NAME") print ".PP"
      printf "%s", wtext[k]
      used[k] = 1
      done = 1
    }
  }
  return done
}

BEGIN {
  nsec = 0
  nsyn = 0
  nwritten = 0
  mode = "start"
  while ((getline line < sections) > 0) {
    if (line ~ /^\[[^]]+\]$/) {
      wtitle[++nwritten] = toupper(substr(line, 2, length(line) - 2))
      wtext[nwritten] = ""
    } else if (nwritten > 0) {
      wtext[nwritten] = wtext[nwritten] line "\n"
    }
  }
  close(sections)
}

{
  sub(/\r$/, "")
  if (mode != "body") {
    if (match($0, /^[Uu]sage: */)) {
      syn[++nsyn] = substr($0, RLENGTH + 1)
      mode = "usage"
      next
    }
    if (mode == "usage" && $0 ~ /^ +[^ ]/) {
      s = $0
      sub(/^ +/, "", s)
      if (index(s, name) == 1) {
        syn[++nsyn] = s
        next
      }
    }
    mode = "body"
    new_section("DESCRIPTION")
  }
  if (match($0, /^[A-Z][a-z]*( [a-z]+)?:( |$)/)) {
    t = substr($0, 1, RLENGTH)
    sub(/: *$/, "", t)
    rest = substr($0, RLENGTH + 1)
    new_section(toupper(t))
    if (rest ~ /[^ ]/) add_line(sprintf("%" RLENGTH "s", "") rest, 1)
    next
  }
  if ($0 ~ /^ *$/) add_line("", 0)
  else add_line($0, 0)
}

END {
  if (nsec == 0) new_section("DESCRIPTION")
  printf ".TH %s 1 \"\" \"kelvor %s\" \"kelvor manual\"\n", esc(toupper(name)), esc(version)
  # No hyphenation: every word of --help shows on the page as it is written.
  print ".nh"
  print ".SH NAME"
  if (!written("NAME")) print esc(name) " \\- a program of kelvor"
  print ".SH SYNOPSIS"
  print ".nf"
  if (nsyn == 0) syn[++nsyn] = name
  for (k = 1; k <= nsyn; k++) {
    s = syn[k]
    if (index(s, name) == 1) print "\\fB" esc(name) "\\fR" esc(substr(s, length(name) + 1))
    else print esc(s)
  }
  print ".fi"
  for (i = 1; i <= nsec; i++) {
    print ".SH " esc(title[i])
    body(i)
    if (title[i] != "NAME") written(title[i])
  }
  for (k = 1; k <= nwritten; k++) {
    if (used[k] || wtitle[k] == "NAME") continue
    print ".SH " esc(wtitle[k])
    printf "%s", wtext[k]
    for (m = k + 1; m <= nwritten; m++) {
      if (wtitle[m] == wtitle[k]) {
        print ".PP"
        printf "%s", wtext[m]
        used[m] = 1
      }
    }
  }
}
