#include "name_scores.h"

#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/ustring.h>
#include <unicode/utrans.h>

#include <algorithm>
#include <array>
#include <map>
#include <unordered_set>

namespace kelp::zip {

namespace {

// Characters of everyday Chinese text, most frequent first (simplified; the
// traditional forms are added from ICU's Hans-Hant transliterator).
constexpr std::u16string_view kCommonHan =
    u"的一是不了在人有我他这个们中来上大为和国地到以说时要就出会可也你对生能而子那得于着下自之年过"
    u"发后作里"
    u"用道行所然家种事成方多经么去法学如都同现当没动面起看定天分还进好小部其些主样理心她本前开但因"
    u"只从想实日"
    u"军者意无力它与长把机十民第公此已工使情明性知全三又关点正业外将两高间由问很最重并物手应战向头"
    u"文体政美相"
    u"见被利什二等产或新己制身果加西斯月话合回特代内信表化老给世位次度门任常先海通教儿原东声提立及"
    u"比员解水名"
    u"真论处走义各入几口认条平系气题活尔更别打女变四神总何电数安少报才结反受目太量再感建务做接必场"
    u"件计管期市"
    u"直德资命山金指克许统区保至队形社便空决治展马科司五基眼书非则听白却界达光放强即像难且权思王象"
    u"完设式色路"
    u"记南品住告类求据程北边死张该交规万取拉格望觉术领共确传师观清今切院让识候带导争运笑飞风步改收"
    u"根干造言联"
    u"持组每济车亲极林服快办议往元英士证近失转夫令准布始怎呢存未远叫台单影具罗字爱击流备兵连调深商"
    u"算质团集百"
    u"需价花党华城石级整府离况亚请技际约示复病息究线似官火断精满支视消越器容照须九增研写称企八功吗"
    u"包片史委乎"
    u"查轻易早曾除农找装广显吧阿李标谈吃图念六引历首医局突专费号尽另周较注语仅考落青随选列武红响虽"
    u"推势参希古"
    u"众构房半节土投某案黑维革划敌致陈律足态护七兴派孩验责营星够章音跟志底站严巴例防族供效续施留讲"
    u"型料终答紧"
    u"黄绝奇察母京段依批群项故按河米围江织害斗双境客纪采举杀攻父苏密低朝友诉止细愿千值仍男钱破网热"
    u"助倒育属坐"
    u"帝限船脸职速刻乐否刚威毛状率甚独球般普怕弹校苦创假久错承印晚兰试股拿脑预谁益阳若哪微尼继送急"
    u"血惊伤素药"
    u"适波夜省初喜卫源食险待述陆习置居劳财环排福纳欢雷警获模充负云停木游龙树疑层冷洲冲射略范竟句室"
    u"异激汉村哈"
    u"策演简卡罪判担州静退既衣您宗积余痛检差富灵协角占配征修皮挥胜降阶审沉坚善妈刘读啊超免压银买皇"
    u"养伊怀执副"
    u"乱抗犯追帮宣佛岁航优怪香著田铁控税左右份穿艺背阵草脚概恶块顿敢守酒岛托央户烈洋哥索胡款靠评版"
    u"宝座释景顾"
    u"弟登货互付伯慢欧换闻危忙核暗姐介坏讨丽良序升监临亮露永呼味野架域沙掉括舰鱼杂误湾吉减编楚肯测"
    u"败屋跑梦散"
    u"温困剑渐封救贵枪缺楼县尚毫移娘朋画班智亦耳恩短掌恐遗固席松秘谢鲁遇康虑幸均销钟诗藏赶剧票损忽"
    u"巨炮旧端探"
    u"湖录叶春乡附吸予礼港雨呀板庭妇归睛饭额含顺输摇招婚脱补谓督毒油疗旅泽材灭逐莫笔亡鲜词圣择寻厂"
    u"睡博勒烟授"
    u"诺伦岸奥唐卖俄炸载洛健堂旁宫喝借君禁阴园谋宋避抓荣姑孙逃牙束跳顶玉镇雪午练迫爷篇肉嘴馆遍凡础"
    u"洞卷坦牛宁"
    u"纸诸训私庄祖丝翻暴森塔默握戏隐熟骨访弱蒙歌店鬼软典欲萨伙遭盘爸扩盖弄雄稳忘亿刺拥徒姆杨齐赛趣"
    u"曲刀床迎冰"
    u"虚玩析窗醒妻透购替塞努休虎扬途侵刑绿兄迅套贸毕唯谷轮库迹尤竞街促延震弃甲伟麻川申缓潜闪售灯针"
    u"哲络抵朱埃"
    u"抱鼓植纯夏忍页杰筑折郑贝尊吴秀混臣雅振染盛怒舞圆搞狂措姓残秋培迷诚宽宇猛摆梅毁伸摩盟末乃悲拍"
    u"丁赵硬麦蒋"
    u"操耶阻订彩抽赞魔纷沿喊违妹浪汇币丰蓝殊献桌啦瓦莱援译夺汽烧距裁偏符勇触课敬哭懂墙袭召罚侠厅拜"
    u"巧侧韩冒债"
    u"曼融惯享戴童犹乘挂奖绍厚纵障讯涉彻刊丈爆乌役描洗玛患妙镜唱烦签仙彼弗症仿倾牌陷鸟轰咱菜闭奋庆"
    u"撤泪茶疾缘"
    u"播朗杜奶季丹狗尾仪偷奔珠虫驻孔宜艾桥淡翼恨繁寒伴叹旦愈潮粮缩罢聚径恰挑袋灰捕徐珍幕映裂泰隔启"
    u"尖忠累炎暂"
    u"估泛荒偿横拒瑞忆孤鼻闹羊呆厉衡胞零穷舍码赫婆魂灾洪腿胆津俗辩胸晓劲贫仁偶辑邦恢赖圈摸仰润堆碰"
    u"艇稍迟辆废"
    u"净凶署壁御奉旋冬矿抬蛋晨伏吹鸡倍糊秦盾杯租骑乏隆诊奴摄丧污渡旗甘耐凭扎抢绪粗肩梁幻菲皆碎宙叔"
    u"岩荡综爬荷"
    u"悉蒂返井壮薄悄扫敏碍殖详迪矛霍允幅撒剩凯颗骂赏液番箱贴漫酸郎腰舒眉忧浮辛恋餐吓挺励辞艘键伍峰"
    u"尺昨黎辈贯"
    u"侦滑券崇扰宪绕趋慈乔阅汗枝拖墨胁插箭腊粉泥氏彭拔骗凤慧媒佩愤扑龄驱惜豪掩兼跃尸肃帕驶堡届欣惠"
    u"册储飘桑闲"
    u"惨洁踪勃宾频仇磨递邪撞拟滚奏巡颜剂绩贡疯坡瞧截燃焦殿伪柳锁逼颇昏劝呈搜勤戒驾漂饮曹朵仔柔俩孟"
    u"腐幼践籍牧"
    u"凉牲佳娜浓芳稿竹腹跌逻垂遵脉貌柏狱猜怜惑陶兽帐饰贷昌叙躺钢沟寄扶铺邓寿惧询汤盗肥尝匆辉奈扣廷"
    u"澳嘛董迁凝"
    u"慰厌脏腾幽怨鞋丢埋泉涌辖躲晋紫艰魏吾慌祝邮吐狠鉴曰械咬邻赤挤弯椅陪割揭韦悟聪雾锋梯猫祥阔誉筹"
    u"丛牵鸣沈阁"
    u"穆屈旨袖猎臂蛇贺柱抛鼠瑟戈牢逊迈欺吨琴衰瓶恼燕仲诱狼池疼卢仗冠粒遥吕玄尘冯抚浅敦纠钻晶岂峡苍"
    u"喷耗凌敲菌"
    u"赔涂粹扁亏寂煤熊恭湿循暖糖赋抑秩帽哀宿踏烂袁侯抖夹昆肝擦猪炼恒慎搬纽纹玻渔磁铜齿跨押怖漠疲叛"
    u"遣兹祭醉拳"
    u"弥斜档稀捷肤疫肿豆削岗晃吞宏癌肚隶履涨耀扭坛拨沃绘伐堪仆郭牺歼墓雇廉契拼惩捉覆刷劫嫌瓜歇雕闷"
    u"乳串娃缴唤"
    u"赢莲霸桃妥瘦搭赴岳嘉舱俊址庞耕锐缝悔邀玲惟斥宅添挖呵讼氧浩羽斤酷掠妖祸侍乙妨贪挣汪尿莉悬唇翰"
    u"仓轨枚盐览"
    u"傅帅庙芬屏寺胖璃愚滴疏萧姿颤丑劣柯寸扔盯辱匹俱辨饿蜂哦腔郁溃谨糟葛苗肠忌溜鸿爵鹏鹰笼丘桂滋聊"
    u"挡纲肌茨壳";

// Hangul syllables of everyday Korean text.
constexpr std::u16string_view kCommonHangul =
    u"이의다는에가고하지서로기사자리도대일한시을를수정어나인전부아니제상보비구주무해소여조장공과동"
    u"경성문화방관"
    u"우연내세개들원생실있적것오만거면요마물모신유후국학중등업날식드트스라미치터회년월분명진행계발"
    u"통데게표결러"
    u"외위음악간영용안녕름료록견약설력랑새매출집파그림노래교직친족복활운건강임프램컴퓨넷번호축감합"
    u"때말던았었겠"
    u"습까또잘못같없좀왜떻누언디엇선산심점단반본차초최양향역현형환황효휴흥희히힘각갈갑값객검겨격곡"
    u"골곳광괴군권"
    u"귀규극근글금급길김꼭꽃끝난남낮너넣네녀논농높눈뉴느늘능달담답당더덕독돈되된될두둘뒤든따땅떤뜻"
    u"락란람량럼"
    u"레려련령례론루류률르른린립막많맞머먹메며몇목몸뭐므민밀및바박밖받밤밥배백버법변별병볼봄북불빠"
    u"빨살삼색석"
    u"센속손송숙순술쉬승식십싶써않알앞애야어억얼엄열염예옥온올와완왔울움육으은응익읽입작잔잠재저절"
    u"접제족존졸"
    u"종좋죽준줄즈즉증질짓짜째착찰참창찾채책처천철첫청체총추충취측층칠카커코크큰키타탈태테토투특티"
    u"판팔패퍼편"
    u"평포푸품플피필할함항했허험혹확훈흐흔";

std::unordered_set<char32_t> CommonSet(std::u16string_view chars, bool withTraditional) {
    std::unordered_set<char32_t> set;
    auto add = [&](std::u16string_view text) {
        for (char16_t c : text) set.insert(c);
    };
    add(chars);
    if (withTraditional) {
        UErrorCode status = U_ZERO_ERROR;
        UTransliterator* t =
            utrans_openU(u"Hans-Hant", -1, UTRANS_FORWARD, nullptr, 0, nullptr, &status);
        if (U_SUCCESS(status)) {
            std::u16string text(chars);
            text.resize(chars.size() * 2);
            int32_t length = static_cast<int32_t>(chars.size()), limit = length;
            utrans_transUChars(t, reinterpret_cast<UChar*>(text.data()), &length,
                               static_cast<int32_t>(text.size()), 0, &limit, &status);
            if (U_SUCCESS(status))
                add(std::u16string_view(text).substr(0, static_cast<size_t>(length)));
        }
        if (t) utrans_close(t);
    }
    return set;
}

bool CommonHan(char32_t c) {
    static const auto set = CommonSet(kCommonHan, true);
    return set.count(c) != 0;
}

bool CommonHangul(char32_t c) {
    static const auto set = CommonSet(kCommonHangul, false);
    return set.count(c) != 0;
}

bool IsKana(char32_t c) {
    return c >= 0x3040 && c <= 0x30FF;
}
bool IsHangul(char32_t c) {
    return c >= 0xAC00 && c <= 0xD7A3;
}
bool IsHan(char32_t c) {
    return ScriptOf(c) == Script::Cjk && !IsKana(c) && !IsHangul(c);
}

// Letters by how often the language writes them, frequent first.
constexpr std::u32string_view kCyrillicByUse = U"оеаинтсрвлкмдпуяызьбгчйхжшюцщэфъ";
constexpr std::u32string_view kGreekByUse = U"αοιετσνηυρπκμλωδγχθφβξζψάέήίόύώς";

double ByUse(std::u32string_view letters, char32_t c) {
    const char32_t lower = static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
    const size_t rank = letters.find(lower);
    if (rank == std::u32string_view::npos) return 0.2;
    return rank < 8 ? 1 : (rank < 16 ? 0.8 : (rank < 24 ? 0.5 : 0.3));
}

// Accented letters of the languages written in these code pages; a letter
// outside them (ƒ, ª, ı, þ, ŕ ...) is rare in names.
constexpr std::u32string_view kLatinLetters =
    U"àáâãäåæçèéêëìíîïñòóôõöøùúûüýÿßœąćęłńśźżčďěňřšťůžőűășşțţľđ";

double LetterWeight(char32_t c) {
    const char32_t lower = static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
    switch (ScriptOf(c)) {
        case Script::Latin:
            return kLatinLetters.find(lower) != std::u32string_view::npos ? 1 : 0.2;
        case Script::Cyrillic:
            if (lower == U'ё') return 1;  // Отчёт, Счёт: more frequent in names than in text
            if (lower == U'і' || lower == U'ї' || lower == U'є' || lower == U'ў') return 0.5;
            return ByUse(kCyrillicByUse, c);
        case Script::Greek:
            return ByUse(kGreekByUse, c);
        case Script::Hebrew:
            return c >= 0x5D0 && c <= 0x5EA ? 0.9 : 0.2;
        case Script::Cjk:
            return 1;
        default:
            return -1;
    }
}

// Punctuation that turns up in names.
bool NamePunctuation(char32_t c) {
    constexpr std::u32string_view marks =
        U"«»–—‘’“”…·№°§©®™、。・「」『』【】〈〉《》（）［］｛｝！？：；，．～〜＿－＋＝＆＃＠％";
    return c == 0x3000 || marks.find(c) != std::u32string_view::npos;
}

// How well one character that is not ASCII fits a name, on its own.
double CharScore(char32_t c) {
    if (c >= 0x2500 && c <= 0x259F) return -6;  // box drawing and blocks
    if (c >= 0xFF61 && c <= 0xFF9F) return -2;  // half-width katakana
    switch (u_charType(static_cast<UChar32>(c))) {
        case U_CONTROL_CHAR:
        case U_PRIVATE_USE_CHAR:
        case U_UNASSIGNED:
        case U_SURROGATE:
        case U_FORMAT_CHAR:
            return -10;
        case U_UPPERCASE_LETTER:
        case U_LOWERCASE_LETTER:
        case U_TITLECASE_LETTER:
        case U_MODIFIER_LETTER:
        case U_OTHER_LETTER:
            return LetterWeight(c);
        case U_NON_SPACING_MARK:
            return ScriptOf(c) == Script::Hebrew ? 0.2 : -1;
        default:
            return NamePunctuation(c) ? 0 : -3;
    }
}

// How common a character of a double-byte page is in that page's language,
// by its code: the first level of each national standard holds the everyday
// characters, the extensions the rare ones.
double DbcsWeight(std::string_view page, uint16_t code, char32_t c) {
    const unsigned lead = code >> 8, trail = code & 0xFF;
    if (page == "CP932") {
        if (IsKana(c)) return 1;
        if (!IsHan(c)) return 0;
        return code >= 0x889F && code <= 0x9872 ? 1 : (code <= 0xEAA4 ? 0.3 : -1);
    }
    if (page == "CP949") {
        if (IsHangul(c))
            return lead >= 0xB0 && lead <= 0xC8 && trail >= 0xA1 ? (CommonHangul(c) ? 1 : 0.4) : -1;
        return IsHan(c) ? 0.2 : (IsKana(c) ? -0.5 : 0);
    }
    if (!IsHan(c)) return IsKana(c) ? -0.5 : 0;
    const double common = CommonHan(c) ? 1 : 0.4;
    if (page == "CP936")
        return lead >= 0xB0 && lead <= 0xD7 && trail >= 0xA1
                   ? common
                   : (lead <= 0xF7 && trail >= 0xA1 ? 0.2 : -1.5);
    // CP950
    return code >= 0xA440 && code <= 0xC67E ? common
                                            : (code >= 0xC940 && code <= 0xF9D5 ? 0.2 : -1);
}

bool IsVowel(char32_t c) {
    constexpr std::u32string_view vowels =
        U"aeiouyàáâãäåæèéêëìíîïòóôõöøùúûüýÿœąęůőűăаеёиоуыэюяіїєαεηιουωάέήίόύώϊϋΐΰ";
    return vowels.find(static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)))) !=
           std::u32string_view::npos;
}

}  // namespace

Script ScriptOf(char32_t c) {
    UErrorCode status = U_ZERO_ERROR;
    switch (uscript_getScript(static_cast<UChar32>(c), &status)) {
        case USCRIPT_LATIN:
            return Script::Latin;
        case USCRIPT_CYRILLIC:
            return Script::Cyrillic;
        case USCRIPT_GREEK:
            return Script::Greek;
        case USCRIPT_HEBREW:
            return Script::Hebrew;
        case USCRIPT_HAN:
        case USCRIPT_HIRAGANA:
        case USCRIPT_KATAKANA:
        case USCRIPT_HANGUL:
        case USCRIPT_BOPOMOFO:
            return Script::Cjk;
        default:
            return Script::Other;
    }
}

bool IsLetter(char32_t c) {
    return u_isalpha(static_cast<UChar32>(c)) != 0;
}

double NameScore(std::string_view page, const std::u32string& text,
                 const std::vector<uint16_t>& codes, size_t& counted) {
    double sum = 0;
    // The word being read: where it starts, its accented Latin letters,
    // whether it has a vowel, letters of a script without them, small letters.
    size_t start = 0, latinAccents = 0;
    bool vowel = false, foreign = false, anyNonAscii = false, latin = false, capitalsOnly = true;
    auto endWord = [&](size_t end) {
        const size_t length = end - start;
        if ((latinAccents >= 3 && latinAccents * 2 >= length) || latinAccents * 3 > length * 2)
            sum -= 1.5 * static_cast<double>(latinAccents);
        if (length >= 3 && anyNonAscii && !vowel && !foreign) sum -= static_cast<double>(length);
        // Capitals only, in a script other than Latin: rare in names, common
        // in a misread page (Hebrew letters read as Cyrillic capitals).
        if (length >= 2 && capitalsOnly && anyNonAscii && !foreign && !latin)
            sum -= 0.3 * static_cast<double>(length);
        latinAccents = 0;
        vowel = foreign = anyNonAscii = latin = false;
        capitalsOnly = true;
        start = end + 1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        const bool letter = IsLetter(c);
        if (!letter) endWord(i);
        if (letter) {
            vowel = vowel || IsVowel(c);
            const Script script = ScriptOf(c);
            foreign = foreign || script == Script::Hebrew || script == Script::Cjk ||
                      script == Script::Other;
            latin = latin || script == Script::Latin;
            capitalsOnly = capitalsOnly && !u_islower(static_cast<UChar32>(c));
        }
        if (c < 0x80) continue;
        anyNonAscii = true;
        ++counted;
        double s = CharScore(c);
        const uint16_t code = i < codes.size() ? codes[i] : 0;
        if (code != 0) {
            const double w = DbcsWeight(page, code, c);
            s = s > 0 ? s * w : s + std::min(w, 0.0);
        }
        const bool afterLetter = i > 0 && IsLetter(text[i - 1]);
        if (letter) {
            const Script script = ScriptOf(c);
            if (script == Script::Latin) ++latinAccents;
            const auto u = static_cast<UChar32>(c);
            if (afterLetter) {
                // A capital inside a word that is not all capitals.
                const bool lowerNext =
                    i + 1 < text.size() && u_islower(static_cast<UChar32>(text[i + 1]));
                if (u_isupper(u) && (u_islower(static_cast<UChar32>(text[i - 1])) || lowerNext))
                    s -= 2;
                if (ScriptOf(text[i - 1]) != script) s -= 2;
            }
            // Letters of another script right after it (ASCII: the check
            // above misses them, as it looks only at letters not ASCII).
            if (script != Script::Latin && i + 1 < text.size() && text[i + 1] < 0x80 &&
                IsLetter(text[i + 1]))
                s -= 2;
        } else if (u_charType(static_cast<UChar32>(c)) == U_NON_SPACING_MARK) {
            if (!afterLetter) s -= 3;  // a point with no letter to sit on
        } else if (afterLetter && i + 1 < text.size() && IsLetter(text[i + 1])) {
            s -= 1;  // a sign inside a word
        }
        sum += s;
    }
    endWord(text.size());
    return sum;
}

size_t ForeignLatinLetters(const std::u32string& text, LatinFamily family) {
    struct Alphabet {
        LatinFamily family;
        std::u32string_view letters;
    };
    static constexpr std::array<Alphabet, 15> kAlphabets{{
        {LatinFamily::Western, U"äöüßé"},              // German
        {LatinFamily::Western, U"àâæçéèêëîïôœùûüÿ"},   // French
        {LatinFamily::Western, U"áéíóúñü"},            // Spanish
        {LatinFamily::Western, U"àèéìòù"},             // Italian
        {LatinFamily::Western, U"áâãàçéêíóôõú"},       // Portuguese
        {LatinFamily::Western, U"éëïöèáóü"},           // Dutch
        {LatinFamily::Western, U"æøåé"},               // Danish, Norwegian
        {LatinFamily::Western, U"åäöé"},               // Swedish, Finnish
        {LatinFamily::Central, U"äöüßé"},              // German, which CP852 and CP1250 write too
        {LatinFamily::Central, U"ąćęłńóśźż"},          // Polish
        {LatinFamily::Central, U"áčďéěíňóřšťúůýž"},    // Czech
        {LatinFamily::Central, U"áäčďéíĺľňóôŕšťúýž"},  // Slovak
        {LatinFamily::Central, U"áéíóöőúüű"},          // Hungarian
        {LatinFamily::Central, U"ăâîșțşţ"},            // Romanian
        {LatinFamily::Central, U"čćđšž"},              // Slovenian, Croatian
    }};
    std::map<char32_t, size_t> letters;
    size_t total = 0;
    for (char32_t c : text) {
        if (c < 0x80 || ScriptOf(c) != Script::Latin || !IsLetter(c)) continue;
        ++letters[static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)))];
        ++total;
    }
    size_t best = 0;
    for (const Alphabet& alphabet : kAlphabets) {
        if (family != LatinFamily::Any && alphabet.family != family) continue;
        size_t covered = 0;
        for (const auto& [c, n] : letters)
            if (alphabet.letters.find(c) != std::u32string_view::npos) covered += n;
        best = std::max(best, covered);
    }
    return total - best;
}

}  // namespace kelp::zip
