# help2man turns the CLI's two-line command list ("  name", "      what it does")
# into loose paragraphs; this makes each one a tagged paragraph.
/^\.SS "Commands:"/ { print; cmds = 1; next }
cmds && /^\.S[SH]/ { cmds = 0 }
cmds && /^\.IP$/ {
    getline name
    getline sep
    if (sep != ".IP") { print ".IP"; print name; print sep; next }
    getline what
    print ".TP"
    print "\\fB" name "\\fR"
    print what
    next
}
{ print }
